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

// Operators that reach every phase change: attacks from instant to never,
// decays that stop at, above or on the sustain level, the key-off in the
// middle of an attack or a decay, key scaling, and key-offs at 0 or past the end.
const EDGE_OPERATORS = [
  [op({}), {}],
  [op({ AR: 0 }), {}],
  [op({ AR: 1, RR: 15 }), {}],
  [op({ AR: 20, DR: 12, SL: 6, SR: 4, RR: 3 }), {}],
  [op({ AR: 9, DR: 31, SL: 0, SR: 31, RR: 0 }), {}],
  [op({ AR: 31, DR: 31, SL: 15, SR: 2, TL: 127 }), {}],
  [op({ AR: 25, DR: 1, SL: 15, SR: 0, RR: 9, TL: 40 }), {}],
  [op({ AR: 4, DR: 7, SL: 3, SR: 5, RR: 15 }), { holdSeconds: 0.01 }],
  [op({ AR: 28, DR: 6, SL: 10, SR: 1, RR: 6, RS: 3 }), { keyCode: 31 }],
  [op({ AR: 16, DR: 24, SL: 2, SR: 29, RR: 12, RS: 2 }), { keyCode: 17, holdSeconds: 0.3 }],
  [op({ AR: 12, DR: 3, RR: 4 }), { holdSeconds: 0 }],
  [op({ AR: 22, DR: 14, SL: 8, RR: 2 }), { holdSeconds: 3 }],
  // A YM2151 voice's envelope runs at that chip's update rate.
  [op({ AR: 18, DR: 9, SL: 5, SR: 3, RR: 7 }), { updatesPerSecond: Draw.YM2151_ENVELOPE_HZ }],
];

function sameAtEveryUpdate(operator, options, label) {
  const stepped = Draw.envelopeLevels(operator, options);
  const curve = Draw.envelopeCurve(operator, options);
  assert.equal(curve.updates, stepped.levels.length - 1, label);
  for (let update = 0; update < stepped.levels.length; ++update) {
    if (curve.levelAt(update) !== stepped.levels[update])
      assert.fail(`${label}: update ${update}: ${curve.levelAt(update)} dB, stepped ${stepped.levels[update]} dB`);
  }
}

test('the closed form gives the stepped envelope at every update', () => {
  EDGE_OPERATORS.forEach(([operator, options], row) => sameAtEveryUpdate(operator, options, `row ${row}`));
  // And on a spread of voices as harvests give them (a fixed pseudo-random sequence).
  let lcgState = 12345; // a linear congruential generator: the same voices every run
  const next = (n) => {
    lcgState = (Math.imul(lcgState, 1103515245) + 12345) >>> 0;
    return (lcgState >>> 8) % n;
  };
  for (let i = 0; i < 60; ++i) {
    const fields = { AR: next(32), DR: next(32), SR: next(32), RR: next(16), SL: next(16), TL: next(128), RS: next(4) };
    sameAtEveryUpdate(op(fields), { keyCode: next(32), holdSeconds: next(3) * 0.5 }, JSON.stringify(fields));
  }
});

test('the sum of steps before an update equals the steps counted one by one', () => {
  for (const rate of [0, 1, 2, 3, 13, 27, 40, 44, 47, 48, 49, 50, 51, 55, 59, 60, 63]) {
    let counted = 0;
    for (let n = 0; n <= 5000; ++n) {
      assert.equal(Draw.stepsBefore(rate, n), counted, `rate ${rate}, ${n} updates`);
      counted += Draw.stepAt(rate, n);
    }
  }
});

test('a drawn curve drops the inner points of a run of equal levels and keeps every change', () => {
  const points = [-96, -10, -5, 0, 0, 0, 0, -3, -3, -3, -6].map((db, t) => ({ t, db }));
  assert.deepEqual(
    Draw.withoutFlatRuns(points).map((p) => p.t),
    [0, 1, 2, 3, 6, 7, 9, 10],
  );
  // A held note at full level and silence after the key-off: each a line of two points.
  const flat = Draw.envelopePoints(op({ AR: 31, DR: 0, RR: 15 }), 200);
  const drawn = Draw.withoutFlatRuns(flat);
  assert.ok(drawn.length < 20, `${drawn.length} points`);
  for (const p of flat) {
    const before = drawn.filter((d) => d.t <= p.t).pop();
    const after = drawn.find((d) => d.t >= p.t);
    assert.ok(before.db === p.db || after.db === p.db, `t ${p.t}`);
  }
});
