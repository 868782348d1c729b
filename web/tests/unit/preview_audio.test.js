// The audio preview's pure helpers: note names and pitches, the computer
// keys of the two-octave keyboard, the hold of a released key and WAV files.
import test from 'node:test';
import assert from 'node:assert/strict';
import * as Audio from '../../src/preview_audio.js';

test('notes are named and tuned as scientific pitch with A4 at 440 Hz', () => {
  for (const [note, name, hz] of [
    [60, 'C4', 261.626],
    [69, 'A4', 440],
    [81, 'A5', 880],
    [48, 'C3', 130.813],
    [61, 'C#4', 277.183],
    [72, 'C5', 523.251],
    [0, 'C-1', 8.176],
    [59, 'B3', 246.942],
  ]) {
    assert.equal(Audio.noteName(note), name);
    assert.ok(Math.abs(Audio.noteFrequency(note) - hz) < 0.001, `${name}: ${Audio.noteFrequency(note)}`);
  }
});

test('the keyboard spans C3 to C5 with the black keys where a piano has them', () => {
  const notes = Audio.keyboardNotes();
  assert.equal(notes.length, 25);
  assert.equal(notes[0].name, 'C3');
  assert.equal(notes[12].name, 'C4');
  assert.equal(notes[24].name, 'C5');
  const blacks = notes.filter((n) => n.black).map((n) => n.name);
  assert.deepEqual(blacks, ['C#3', 'D#3', 'F#3', 'G#3', 'A#3', 'C#4', 'D#4', 'F#4', 'G#4', 'A#4']);
});

test('every key of the keyboard has a computer key, each computer key one note', () => {
  for (const { note, key } of Audio.keyboardNotes()) {
    assert.notEqual(key, '', `note ${note} has no key`);
  }
  const codes = { KeyZ: 48, KeyS: 49, KeyM: 59, Comma: 60, KeyQ: 60, Digit2: 61, KeyY: 69, KeyI: 72 };
  for (const [code, note] of Object.entries(codes)) assert.equal(Audio.noteForKey(code), note, code);
  assert.equal(Audio.noteForKey('KeyA'), null);
  assert.equal(Audio.noteForKey('toString'), null);
  assert.equal(Audio.keyLabel(48), 'Z');
  assert.equal(Audio.keyLabel(61), '2');
  // Each label, typed, plays its own note.
  for (const { note, key } of Audio.keyboardNotes()) {
    const code = key === ',' ? 'Comma' : /\d/.test(key) ? `Digit${key}` : `Key${key}`;
    assert.equal(Audio.noteForKey(code), note, key);
  }
});

test('a released key holds the note for the time it was down, up to the preview hold', () => {
  assert.equal(Audio.holdSamples(0), 1);
  assert.equal(Audio.holdSamples(0.25), 11025);
  assert.equal(Audio.holdSamples(0.5000001), 22051);
  assert.equal(Audio.holdSamples(5), Audio.HOLD_SAMPLES);
});

test('interleaved samples split into channels scaled to -1..1', () => {
  const [left, right] = Audio.splitChannels(Int16Array.from([-32768, 16384, 32767, 0]), 2);
  assert.deepEqual([...left], [-1, 32767 / 32768]);
  assert.deepEqual([...right], [0.5, 0]);
});

test('a WAV file has the PCM header and the samples little-endian', () => {
  const wav = Audio.encodeWav(Int16Array.from([1, -2, 0x1234, -32768]), 44100, 2);
  const view = new DataView(wav.buffer);
  const text = (at) => String.fromCharCode(...wav.subarray(at, at + 4));
  assert.equal(wav.length, 44 + 8);
  assert.equal(text(0), 'RIFF');
  assert.equal(view.getUint32(4, true), 44);
  assert.equal(text(8), 'WAVE');
  assert.equal(text(12), 'fmt ');
  assert.equal(view.getUint32(16, true), 16);
  assert.equal(view.getUint16(20, true), 1);
  assert.equal(view.getUint16(22, true), 2);
  assert.equal(view.getUint32(24, true), 44100);
  assert.equal(view.getUint32(28, true), 176400);
  assert.equal(view.getUint16(32, true), 4);
  assert.equal(view.getUint16(34, true), 16);
  assert.equal(text(36), 'data');
  assert.equal(view.getUint32(40, true), 8);
  assert.deepEqual([...wav.subarray(44)], [0x01, 0x00, 0xfe, 0xff, 0x34, 0x12, 0x00, 0x80]);
});

test('a WAV file is named after the patch and the note', () => {
  assert.equal(Audio.wavFileName('demo_0.vpf', 69), 'demo_0-A4.wav');
  assert.equal(Audio.wavFileName('Title_Theme_12.vpf', 61), 'Title_Theme_12-Cs4.wav');
});
