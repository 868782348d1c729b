// The envelope math: the YM2612's rates and steps, and the curves drawn from them.
import test from 'node:test';
import assert from 'node:assert/strict';
import * as Draw from '../../src/voice_draw.js';

const op = (fields) =>
  Object.assign({ number: 1, MUL: 1, DT: 0, TL: 0, RS: 0, AR: 31, DR: 0, SR: 0, RR: 7, SL: 0, SSG: 0 }, fields);
// The lowest note, where no key scaling adds to a rate.
const lowest = { keyCode: 0 };

test('rates: 2R plus key scale, capped at 63; R 0 never moves', () => {
  assert.equal(Draw.effectiveRate(0, 31), 0);
  assert.equal(Draw.effectiveRate(1, 0), 2);
  assert.equal(Draw.effectiveRate(31, 0), 62);
  assert.equal(Draw.effectiveRate(31, 3), 63);
  // Key scale: the key code shifted right by 3 - RS.
  assert.deepEqual(
    [0, 1, 2, 3].map((rs) => Draw.keyScale(rs, 31)),
    [3, 7, 15, 31],
  );
});

test('steps per update: the average doubles every four rates and is 8 from rate 60', () => {
  const average = (rate, updates) => {
    let sum = 0;
    for (let c = 0; c < updates; ++c) sum += Draw.stepAt(rate, c);
    return sum / updates;
  };
  assert.equal(average(0, 4096), 0);
  assert.equal(average(1, 4096), 0);
  // Rate 44 steps every update, half of them by 1; rate 40 every other update.
  assert.equal(average(44, 64), 0.5);
  assert.equal(average(40, 64), 0.25);
  assert.equal(average(47, 64), 0.875);
  assert.deepEqual(
    [48, 49, 50, 51, 52, 56, 59].map((r) => average(r, 64)),
    [1, 1.25, 1.5, 1.75, 2, 4, 7],
  );
  assert.equal(average(60, 64), 8);
  assert.equal(average(63, 64), 8);
});

test('AR 31 is at full level from the first update; a slower attack climbs exponentially', () => {
  assert.equal(Draw.envelopeLevels(op({ AR: 31 }), lowest).levels[0], 0);
  const slow = Draw.envelopeLevels(op({ AR: 20 }), lowest).levels;
  assert.equal(slow[0], (-Math.min(1023, 1023) * 96) / 1024);
  const reached = slow.findIndex((db) => db === 0);
  assert.ok(reached > 0);
  // Exponential: the first half of the way (in dB) takes less time than the second.
  const half = slow.findIndex((db) => db >= -48);
  assert.ok(half < reached - half, `half at ${half}, full at ${reached}`);
});

test('decay stops at the sustain level, 3 dB a step, SL 15 at 93 dB', () => {
  const update = Math.round(0.5 * Draw.ENVELOPE_HZ);
  assert.equal(Draw.envelopeLevels(op({ DR: 31, SL: 4 }), lowest).levels[update], -12);
  assert.equal(Draw.envelopeLevels(op({ DR: 31, SL: 15 }), lowest).levels[update], -93);
  // TL adds 0.75 dB a step on top.
  assert.equal(Draw.envelopeLevels(op({ DR: 31, SL: 4, TL: 8 }), lowest).levels[update], -18);
});

test('release: RR 15 falls fastest, every lower RR slower, RR 0 slowest of all yet not stuck', () => {
  const times = [];
  for (let rr = 0; rr <= 15; ++rr)
    times.push(Draw.releaseTime(op({ RR: rr }), -60, Object.assign({ seconds: 60 }, lowest)));
  for (let rr = 1; rr <= 15; ++rr)
    assert.ok(times[rr] < times[rr - 1], `RR ${rr}: ${times[rr]} s, RR ${rr - 1}: ${times[rr - 1]} s`);
  // Rate 2 steps once in 2048 updates: RR 0 takes minutes, but it does fall.
  assert.ok(Number.isFinite(Draw.releaseTime(op({ RR: 0 }), -60, Object.assign({ seconds: 200 }, lowest))));
  // At rate 62 the attenuation moves 8 units (0.75 dB) every update: -60 dB takes 80 of them, the
  // first at the key-off's own update.
  assert.equal(Math.round(times[15] * Draw.ENVELOPE_HZ), 79);
});

test('the drawn curve starts at t = 0 and spans the drawn time, levels within 0 to -96 dB', () => {
  const points = Draw.envelopePoints(op({ AR: 14, DR: 9, SL: 5, SR: 3 }), 200);
  assert.equal(points[0].t, 0);
  assert.ok(points.length >= 200 && points.length <= 204);
  assert.ok(points[points.length - 1].t > 1.98);
  for (const p of points) assert.ok(p.db <= 0 && p.db >= -96);
  for (let i = 1; i < points.length; ++i) assert.ok(points[i].t >= points[i - 1].t);
});
