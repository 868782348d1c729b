// The pure parts of the audio preview, shared by the page and node's tests:
// note numbers, names and frequencies, the computer keys that play them, the
// hold of a key in samples, and WAV files of rendered samples.

export const SAMPLE_RATE = 44100;
// The preview the worker renders: the note held 1 s, then 1 s of release.
export const HOLD_SAMPLES = SAMPLE_RATE;
export const RELEASE_SAMPLES = SAMPLE_RATE;
// Two octaves around middle C (MIDI 60): C3 to C5.
export const LOWEST_NOTE = 48;
export const HIGHEST_NOTE = 72;
export const MIDDLE_C = 60;

const NAMES = ['C', 'C#', 'D', 'D#', 'E', 'F', 'F#', 'G', 'G#', 'A', 'A#', 'B'];

// The trackers' layout: the bottom letter row is the octave from C3, the
// top letter row (with the digits as black keys) the octave from C4.
const KEY_NOTES = {
  KeyZ: 48,
  KeyS: 49,
  KeyX: 50,
  KeyD: 51,
  KeyC: 52,
  KeyV: 53,
  KeyG: 54,
  KeyB: 55,
  KeyH: 56,
  KeyN: 57,
  KeyJ: 58,
  KeyM: 59,
  KeyQ: 60,
  Digit2: 61,
  KeyW: 62,
  Digit3: 63,
  KeyE: 64,
  KeyR: 65,
  Digit5: 66,
  KeyT: 67,
  Digit6: 68,
  KeyY: 69,
  Digit7: 70,
  KeyU: 71,
  KeyI: 72,
  // Middle C also ends the bottom row, as on a tracker.
  Comma: 60,
};

// Scientific pitch names: 60 is C4, 69 is A4.
export function noteName(note) {
  return NAMES[((note % 12) + 12) % 12] + String(Math.floor(note / 12) - 1);
}

// Equal temperament, A4 at 440 Hz.
export function noteFrequency(note) {
  return 440 * Math.pow(2, (note - 69) / 12);
}

export function isBlack(note) {
  return NAMES[((note % 12) + 12) % 12].length > 1;
}

// The note a KeyboardEvent.code plays, or null.
export function noteForKey(code) {
  return Object.prototype.hasOwnProperty.call(KEY_NOTES, code) ? KEY_NOTES[code] : null;
}

// The key shown on a note's button: the first of the codes that play it,
// as the letter or digit printed on the key.
export function keyLabel(note) {
  const code = Object.keys(KEY_NOTES).find((c) => KEY_NOTES[c] === note);
  if (!code) return '';
  if (code === 'Comma') return ',';
  return code.replace(/^Key|^Digit/, '');
}

// The keyboard's notes, lowest first.
export function keyboardNotes() {
  const notes = [];
  for (let note = LOWEST_NOTE; note <= HIGHEST_NOTE; note++) {
    notes.push({ note, name: noteName(note), black: isBlack(note), key: keyLabel(note) });
  }
  return notes;
}

// The hold, in samples, of a key released `seconds` after it went down:
// at least one sample, at most the preview's hold.
export function holdSamples(seconds) {
  return Math.max(1, Math.min(HOLD_SAMPLES, Math.ceil(seconds * SAMPLE_RATE)));
}

// Interleaved 16-bit samples as the Float32 channels of a Web Audio buffer.
export function splitChannels(interleaved, channels) {
  const frames = Math.floor(interleaved.length / channels);
  const out = [];
  for (let c = 0; c < channels; c++) {
    const channel = new Float32Array(frames);
    for (let i = 0; i < frames; i++) channel[i] = interleaved[i * channels + c] / 32768;
    out.push(channel);
  }
  return out;
}

// A canonical 44-byte-header PCM WAV file of interleaved 16-bit samples.
export function encodeWav(interleaved, sampleRate, channels) {
  const dataBytes = interleaved.length * 2;
  const bytes = new Uint8Array(44 + dataBytes);
  const view = new DataView(bytes.buffer);
  const text = (at, s) => {
    for (let i = 0; i < s.length; i++) bytes[at + i] = s.charCodeAt(i);
  };
  text(0, 'RIFF');
  view.setUint32(4, 36 + dataBytes, true);
  text(8, 'WAVE');
  text(12, 'fmt ');
  view.setUint32(16, 16, true); // size of the format chunk
  view.setUint16(20, 1, true); // PCM
  view.setUint16(22, channels, true);
  view.setUint32(24, sampleRate, true);
  view.setUint32(28, sampleRate * channels * 2, true); // bytes a second
  view.setUint16(32, channels * 2, true); // bytes a frame
  view.setUint16(34, 16, true); // bits a sample
  text(36, 'data');
  view.setUint32(40, dataBytes, true);
  for (let i = 0; i < interleaved.length; i++) view.setInt16(44 + 2 * i, interleaved[i], true);
  return bytes;
}

// "demo_0.vpf" at 69 gives "demo_0-A4.wav"; the # of a sharp is spelt "s".
export function wavFileName(vpfName, note) {
  return `${vpfName.replace(/\.vpf$/i, '')}-${noteName(note).replace('#', 's')}.wav`;
}
