// Where an instrument was heard, as its card shows it: the chip and channel
// that keyed its saved take on, the source log, the moment in the log, how
// often the harvest met it, and a warning when the log's data was damaged.
import { element } from './dom.js';
import { ENVELOPE_HZ, YM2151_ENVELOPE_HZ } from './voice_draw.js';

const SAMPLE_RATE = 44100;

// A time line position in 44.1 kHz samples as m:ss.cc (minutes unbounded,
// hundredths rounded down, so a key-on is never shown later than it is).
export function formatSampleTime(sample) {
  const hundredths = Math.floor((sample * 100) / SAMPLE_RATE);
  const minutes = Math.floor(hundredths / 6000);
  const seconds = Math.floor(hundredths / 100) % 60;
  const cents = hundredths % 100;
  return `${minutes}:${String(seconds).padStart(2, '0')}.${String(cents).padStart(2, '0')}`;
}

const plural = (n, one, many) => `${n} ${n === 1 ? one : many}`;

// "heard in N logs, M times"
export function heardText(origin) {
  return `heard in ${plural(origin.logs, 'log', 'logs')}, ${plural(origin.captures, 'time', 'times')}`;
}

// "YM2612 channel 3, first heard at 0:01.25 in song.vgz"
export function originText(origin, source) {
  return `${origin.chip} channel ${origin.channel}, first heard at ${formatSampleTime(origin.sample)} in ${source}`;
}

// The card's lines for `instrument` ({origin, source}); nothing when the
// harvest gave no origin.
export function originBlock(instrument) {
  const origin = instrument.origin;
  const block = element('div', 'origin');
  if (!origin) return block;
  block.append(element('p', 'origin-where', originText(origin, instrument.source)));
  block.append(element('p', 'origin-heard', heardText(origin)));
  if (origin.failedCheck) {
    const warning = element(
      'p',
      'origin-warning',
      `Warning: ${instrument.source} failed its gzip check; this voice may come from damaged data.`,
    );
    warning.setAttribute('role', 'note');
    block.append(warning);
  }
  return block;
}

// The chips among the instruments, for the chip filter.
export function chipsOf(instruments) {
  return [...new Set(instruments.filter((i) => i.origin).map((i) => i.origin.chip))].sort();
}

// True when `instrument` passes the chip filter's `chip` ('' for all).
export function matchesChip(instrument, chip) {
  return chip === '' || (instrument.origin && instrument.origin.chip === chip);
}

// The envelope drawing's options for the chip the instrument was heard on.
export function envelopeOptions(instrument) {
  const ym2151 = instrument.origin && instrument.origin.chip === 'YM2151';
  return { updatesPerSecond: ym2151 ? YM2151_ENVELOPE_HZ : ENVELOPE_HZ };
}

// A YM2151 voice is previewed on a YM2612, the only FM chip the player
// here emulates: its card says so beside the preview.
export function previewNote(instrument) {
  if (!instrument.origin || instrument.origin.chip !== 'YM2151') return null;
  return element(
    'p',
    'preview-chip',
    'Heard on a YM2151; the preview plays it on a YM2612, whose envelopes run about 5% slower.',
  );
}
