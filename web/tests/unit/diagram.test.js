// The voice decoding and the algorithm diagrams' geometry.
import test from 'node:test';
import assert from 'node:assert/strict';
import * as Draw from '../../src/voice_draw.js';

// The carrier mask of the harvest (bit k: slot k is a carrier) for ALG 0-7.
const CARRIER_MASK = [8, 8, 8, 8, 12, 14, 14, 15];
const SLOT_OPERATOR = [1, 3, 2, 4];

test("the carriers drawn are the slots of the harvest's carrier mask, in operator numbers", () => {
  for (let alg = 0; alg < 8; ++alg) {
    const fromMask = [0, 1, 2, 3]
      .filter((slot) => CARRIER_MASK[alg] & (1 << slot))
      .map((slot) => SLOT_OPERATOR[slot])
      .sort();
    const drawn = Draw.algorithmLayout(alg)
      .boxes.filter((b) => b.carrier)
      .map((b) => b.op)
      .sort();
    assert.deepEqual(drawn, fromMask, `algorithm ${alg}`);
  }
});

test("every line runs left to right from a modulator's right edge to its target's left edge", () => {
  for (let alg = 0; alg < 8; ++alg) {
    const layout = Draw.algorithmLayout(alg);
    const box = (op) => layout.boxes[op - 1];
    for (const e of layout.edges) {
      assert.ok(e.x2 > e.x1, `algorithm ${alg}: ${e.from} to ${e.to}`);
      assert.ok(e.x1 > box(e.from).x && e.x2 === box(e.to).x);
      // A modulated operator is never a modulator of its own modulator: the chip has no loops but feedback.
      assert.ok(box(e.to).x > box(e.from).x);
    }
    for (const o of layout.outputs) assert.ok(o.x2 > o.x1 && o.x2 <= layout.width);
    // No two boxes overlap.
    for (const a of layout.boxes)
      for (const b of layout.boxes) {
        if (a !== b) assert.ok(a.x !== b.x || Math.abs(a.y - b.y) >= 22, `algorithm ${alg}: ${a.op} and ${b.op}`);
      }
  }
});

test('decoding: slots 0-3 of the file are operators 1, 3, 2, 4; DT is stored + 3', () => {
  const bytes = new Uint8Array(42);
  bytes[0] = 4;
  bytes[1] = 5;
  for (let slot = 0; slot < 4; ++slot) {
    const block = 2 + slot * 10;
    bytes[block] = slot + 1; // MUL names the slot
    bytes[block + 1] = slot; // DT + 3
    bytes[block + 2] = 100 + slot; // TL
  }
  const voice = Draw.decodeVoice(bytes);
  assert.equal(voice.ALG, 4);
  assert.equal(voice.FB, 5);
  assert.deepEqual(
    voice.operators.map((o) => o.MUL),
    [1, 3, 2, 4],
  );
  assert.deepEqual(
    voice.operators.map((o) => o.DT),
    [-3, -1, -2, 0],
  );
  assert.deepEqual(
    voice.operators.map((o) => o.number),
    [1, 2, 3, 4],
  );
  assert.throws(() => Draw.decodeVoice(new Uint8Array(41)));
});

test('hex: 42 bytes as two upper-case digits each', () => {
  const bytes = Uint8Array.from({ length: 42 }, (_, i) => i * 6);
  const hex = Draw.hexBytes(bytes).split(' ');
  assert.equal(hex.length, 42);
  assert.equal(hex[0], '00');
  assert.equal(hex[41], 'F6');
});
