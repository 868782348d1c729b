// The texts a card shows of where its instrument was heard, and of playing it
// in its song.
import test from 'node:test';
import assert from 'node:assert/strict';
import {
  chipsOf,
  envelopeOptions,
  formatSampleTime,
  heardText,
  matchesChip,
  originText,
} from '../../src/provenance.js';
import { releaseTime } from '../../src/voice_draw.js';
import { playingText, songUnavailable, songWavName, stretchStart } from '../../src/song_ui.js';

test('a key-on time shows as m:ss.cc, never later than it is', () => {
  const rows = [
    [0, '0:00.00'],
    [440, '0:00.00'],
    [441, '0:00.01'],
    [13230, '0:00.30'],
    [44100 * 59 + 44099, '0:59.99'],
    [44100 * 60, '1:00.00'],
    [44100 * 754 + 22050, '12:34.50'],
  ];
  for (const [sample, text] of rows) assert.equal(formatSampleTime(sample), text, `sample ${sample}`);
});

test('the origin and the count read as sentences, singular where one', () => {
  const origin = { chip: 'YM2151', channel: 8, sample: 101910, logs: 1, captures: 1, failedCheck: false };
  assert.equal(originText(origin, 'demo.vgz'), 'YM2151 channel 8, first heard at 0:02.31 in demo.vgz');
  assert.equal(heardText(origin), 'heard in 1 log, 1 time');
  assert.equal(heardText({ ...origin, logs: 3, captures: 12 }), 'heard in 3 logs, 12 times');
});

test('the chip filter offers the chips heard and keeps what matches', () => {
  const ym2612 = { origin: { chip: 'YM2612' } };
  const ym2151 = { origin: { chip: 'YM2151' } };
  assert.deepEqual(chipsOf([ym2612, ym2151, ym2612, {}]), ['YM2151', 'YM2612']);
  assert.ok(matchesChip(ym2612, ''));
  assert.ok(matchesChip(ym2612, 'YM2612'));
  assert.ok(!matchesChip(ym2151, 'YM2612'));
  assert.ok(!matchesChip({}, 'YM2612'));
});

test("a YM2151 voice's envelope runs at the YM2151's rate, about 5% faster", () => {
  const op = { MUL: 1, DT: 0, TL: 0, RS: 0, AR: 31, DR: 0, SR: 0, RR: 7, SL: 0, SSG: 0 };
  const onYm2612 = releaseTime(op, -60, envelopeOptions({ origin: { chip: 'YM2612' } }));
  const onYm2151 = releaseTime(op, -60, envelopeOptions({ origin: { chip: 'YM2151' } }));
  assert.deepEqual(envelopeOptions({}), envelopeOptions({ origin: { chip: 'YM2612' } }));
  const ratio = onYm2151 / onYm2612;
  assert.ok(Math.abs(ratio - 7670453 / 144 / (3579545 / 64)) < 0.002, `ratio ${ratio}`);
});

test('a song plays from 1 s before the key-on, and says why when it cannot', () => {
  assert.deepEqual([132300, 44100, 13230, 0].map(stretchStart), [88200, 0, 0, 0]);
  const origin = (chip, channel) => ({ chip, channel, sample: 50715, logs: 1, captures: 1, failedCheck: false });
  const log = { file: {} };
  const rows = [
    [{ origin: origin('YM2612', 6), log, source: 'demo.vgz' }, null],
    [{ origin: origin('YM2612', 4), log, source: 'demo.vgz' }, null],
    [
      { origin: origin('YM2151', 3), log, source: 'demo.vgz' },
      "the page's player (libgme 0.6.3) has no YM2151; it plays YM2612 songs only.",
    ],
    [{ origin: origin('YM2612', 7), log, source: 'demo.vgz' }, 'channel 7 is no channel the player has.'],
    [{ origin: origin('YM2612', 1), log: null, source: 'a/b.vgm' }, 'a/b.vgm cannot be read again.'],
    [{ origin: null, log, source: 'demo.vgz' }, 'the harvest did not say where it was heard.'],
  ];
  for (const [instrument, reason] of rows) assert.equal(songUnavailable(instrument), reason);
  assert.equal(songWavName('demo_2.vpf', false), 'demo_2-in-song.wav');
  assert.equal(songWavName('demo_2.vpf', true), 'demo_2-solo.wav');
  const organ = { origin: origin('YM2612', 6), source: 'demo.vgz' };
  assert.equal(playingText(organ, false, 176400), 'Playing demo.vgz from 0:00.15 to 0:04.15, the key-on at 0:01.15.');
  assert.equal(
    playingText(organ, true, 120393),
    'Playing channel 6 alone from 0:00.15 to 0:02.88, the key-on at 0:01.15.',
  );
});
