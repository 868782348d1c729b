// What the lists show of a harvest, as pure functions: the columns, the
// filters and the sort orders, shared by the compact list and the cards.
import { ALGORITHMS } from './voice_draw.js';
import { compareBytes } from './harvest_plan.js';
import { matchesChip, formatSampleTime } from './provenance.js';

// An instrument's algorithm for sorting; an unsaved one (no voice) last.
const algOf = (i) => (i.voice ? i.voice.ALG : 9);
const chipOf = (i) => (i.origin ? i.origin.chip : '~');
const channelOf = (i) => (i.origin ? i.origin.channel : 99);
const sampleOf = (i) => (i.origin ? i.origin.sample : Number.MAX_SAFE_INTEGER);
const logsOf = (i) => (i.origin ? i.origin.logs : 0);
const capturesOf = (i) => (i.origin ? i.origin.captures : 0);
const carriersOf = (i) => (i.voice ? ALGORITHMS[i.voice.ALG & 7].carriers : []);
// Chip names are ASCII, whose byte order is the order of JavaScript's strings.
const compareAscii = (a, b) => (a < b ? -1 : a > b ? 1 : 0);

// The compact list's columns, in order: a name (and a shorter header where
// the name is long for a narrow column), the text of a cell, and the sort
// order of the column (ties always fall back to the file order).
// A new column is one entry here.
export const COLUMNS = [
  { key: 'group', label: 'File', text: (i) => i.fileName, compare: (a, b) => a.group - b.group },
  { key: 'source', label: 'Source log', text: (i) => i.source, compare: (a, b) => compareBytes(a.source, b.source) },
  {
    key: 'alg',
    label: 'Algorithm',
    header: 'Alg.',
    text: (i) => (i.voice ? String(i.voice.ALG) : '–'),
    compare: (a, b) => algOf(a) - algOf(b),
  },
  {
    key: 'fb',
    label: 'Feedback',
    header: 'FB',
    text: (i) => (i.voice ? String(i.voice.FB) : '–'),
    compare: (a, b) => (a.voice ? a.voice.FB : 8) - (b.voice ? b.voice.FB : 8),
  },
  {
    key: 'carriers',
    label: 'Carriers',
    text: (i) => carriersOf(i).join(' ') || '–',
    compare: (a, b) => (carriersOf(a).length || 5) - (carriersOf(b).length || 5) || algOf(a) - algOf(b),
  },
  {
    key: 'chip',
    label: 'Chip and channel',
    header: 'Chip',
    text: (i) => (i.origin ? `${i.origin.chip} ${i.origin.channel}` : '–'),
    compare: (a, b) => compareAscii(chipOf(a), chipOf(b)) || channelOf(a) - channelOf(b),
  },
  {
    key: 'heard',
    label: 'First heard at',
    header: 'At',
    text: (i) => (i.origin ? formatSampleTime(i.origin.sample) : '–'),
    compare: (a, b) => sampleOf(a) - sampleOf(b),
  },
  {
    key: 'count',
    label: 'Heard in logs, times',
    header: 'Heard',
    text: (i) => (i.origin ? `${i.origin.logs} / ${i.origin.captures}` : '–'),
    compare: (a, b) => logsOf(b) - logsOf(a) || capturesOf(b) - capturesOf(a),
  },
];

// Each string's place in the byte order of their UTF-8 forms (as
// compareBytes orders them), each string encoded once.
function byteRanks(strings) {
  const encoder = new TextEncoder();
  const encoded = [...strings].map((text) => ({ text, bytes: encoder.encode(text) }));
  encoded.sort((a, b) => {
    const n = Math.min(a.bytes.length, b.bytes.length);
    for (let i = 0; i < n; ++i) if (a.bytes[i] !== b.bytes[i]) return a.bytes[i] - b.bytes[i];
    return a.bytes.length - b.bytes.length;
  });
  return new Map(encoded.map((e, index) => [e.text, index]));
}

const ranksOf = new WeakMap();

// Every source of a harvest's instruments and its place in byte order
// (the Map lists them in that order), made once per array of instruments:
// a sort by source then compares two numbers.
export function sourceRanks(instruments) {
  let ranks = ranksOf.get(instruments);
  if (!ranks) {
    ranks = byteRanks(new Set(instruments.map((i) => i.source)));
    ranksOf.set(instruments, ranks);
  }
  return ranks;
}

// What the text filter looks in: the file name and the source log.
export function searchText(instrument) {
  return `${instrument.fileName}\n${instrument.source}`.toLowerCase();
}

// The instruments a view shows, in its order. `view`: {text, source, alg,
// chip, sort, descending}; `text` is found case-insensitively in a file name or a
// source log, `source` and `alg` ('' for all) must match exactly.
export function shownInstruments(instruments, view) {
  const query = (view.text || '').trim().toLowerCase();
  const source = view.source || '';
  const alg = view.alg || '';
  const shown = instruments.filter(
    (i) =>
      (source === '' || i.source === source) &&
      (alg === '' || (i.voice !== null && String(i.voice.ALG) === alg)) &&
      matchesChip(i, view.chip || '') &&
      (query === '' || (i.searchText || searchText(i)).includes(query)),
  );
  const column = COLUMNS.find((c) => c.key === view.sort) || COLUMNS[0];
  const direction = view.descending ? -1 : 1;
  let compare = column.compare;
  if (column.key === 'source') {
    // Byte order of the distinct sources once, rather than encoding two paths at every comparison.
    const rank = sourceRanks(instruments);
    compare = (a, b) => rank.get(a.source) - rank.get(b.source);
  }
  shown.sort((a, b) => direction * compare(a, b) || a.group - b.group);
  return shown;
}

// "1 instrument", "2 instruments".
export function count(n, noun) {
  return `${n} ${noun}${n === 1 ? '' : 's'}`;
}
