// One instrument's card: title, source, the algorithm's diagram, the
// envelopes, the parameter table, the bytes, a download and the preview's
// controls. Everything a card shows is built here.
import { FIELDS, algorithmSvg, envelopeSvg, hexBytes } from './voice_draw.js';
import { element, button } from './dom.js';
import { envelopeOptions, originBlock, previewNote } from './provenance.js';

function parameterTable(voice) {
  const table = element('table');
  table.append(element('caption', 'visually-hidden', 'Parameters per operator'));
  const head = element('tr');
  head.append(element('th', '', 'Op'), ...FIELDS.map((f) => element('th', '', f)));
  table.append(head);
  for (const op of voice.operators) {
    const row = element('tr');
    const name = element('th', `op${op.number}`, String(op.number));
    name.scope = 'row';
    row.append(name, ...FIELDS.map((f) => element('td', '', String(op[f]))));
    table.append(row);
  }
  return table;
}

function drawings(voice, options) {
  const box = element('div', 'drawings');
  const algorithm = element('div', 'algorithm-box');
  algorithm.innerHTML = algorithmSvg(voice.ALG, voice.FB);
  const envelope = element('div', 'envelope-box');
  const legend = element('div', 'legend');
  for (const n of [1, 2, 3, 4]) legend.append(element('span', `op${n}`, `— op ${n}`));
  envelope.innerHTML = envelopeSvg(voice, options);
  envelope.prepend(legend);
  box.append(algorithm, envelope);
  return box;
}

// A card in two steps, so that a list of cards can show each at once and
// draw it a little later: cardShell(instrument) gives the card with its
// title, source and summary, and fillCard(card, instrument, options) adds
// the drawings, the table, the bytes and the controls.
//
// `instrument`: {group, fileName, source, bytes, voice} (voice null when the
// file could not be saved). `idPrefix` keeps the ids of a second card of
// the same instrument apart.
export function cardShell(instrument, idPrefix = 'card') {
  const card = element('li', 'card');
  card.dataset.file = instrument.fileName;
  card.dataset.group = String(instrument.group);
  card.dataset.source = instrument.source;
  const title = element('h3', '', instrument.fileName);
  title.id = `${idPrefix}-${instrument.group}`;
  title.title = instrument.fileName;
  card.setAttribute('aria-labelledby', title.id);
  const source = element('p', 'source', `from ${instrument.source}`);
  source.title = instrument.source;
  card.append(title, source, originBlock(instrument));
  if (instrument.origin) card.dataset.chip = instrument.origin.chip;
  if (!instrument.voice) {
    card.append(element('p', 'unsaved', 'This file could not be saved (see the printed lines).'));
    return card;
  }
  const voice = instrument.voice;
  card.dataset.alg = String(voice.ALG);
  card.append(element('p', 'summary', `Algorithm ${voice.ALG}, feedback ${voice.FB}`));
  return card;
}

// `saveBlob(bytes, name, type)` downloads; `previewControls(instrument)`
// gives the element that plays it; `bankControls(instrument)`, the buttons
// of its bank formats.
export function fillCard(card, instrument, { saveBlob, previewControls, bankControls }) {
  if (!instrument.voice) return;
  card.append(drawings(instrument.voice, envelopeOptions(instrument)), parameterTable(instrument.voice));
  card.append(element('p', 'hex', hexBytes(instrument.bytes)));
  const actions = element('div', 'actions');
  const download = button('', 'Download .vpf');
  download.setAttribute('aria-label', `Download ${instrument.fileName}`);
  download.addEventListener('click', () => saveBlob(instrument.bytes, instrument.fileName, 'application/octet-stream'));
  actions.append(download, ...(bankControls ? bankControls(instrument) : []));
  card.append(actions, previewControls(instrument));
  const note = previewNote(instrument);
  if (note) card.append(note);
}

// The whole card at once.
export function renderCard(instrument, options) {
  const card = cardShell(instrument, options.idPrefix);
  fillCard(card, instrument, options);
  return card;
}
