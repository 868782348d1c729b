// Loops on the page's main thread cut into slices.
import test from 'node:test';
import assert from 'node:assert/strict';
import { inSlices } from '../../src/slices.js';

test('a loop in slices visits every item in order, lets other tasks run between slices, and stops when replaced', async () => {
  // A budget no slice can exceed: one slice, run at once.
  const seen = [];
  const whole = inSlices(['a', 'b', 'c'], (item) => seen.push(item), { budget: Infinity });
  assert.deepEqual(seen, ['a', 'b', 'c']);
  assert.equal(await whole, true);

  // A budget every slice exceeds: each item waits for a task of its own,
  // the first too, so the caller's task ends at once.
  const order = [];
  const sliced = inSlices([1, 2, 3], (item) => order.push(item), { budget: -1 });
  assert.deepEqual(order, []);
  assert.equal(await sliced, true);
  assert.deepEqual(order, [1, 2, 3]);

  // No longer current after two items: the rest are never visited.
  const visited = [];
  const stopped = await inSlices([1, 2, 3, 4], (item) => visited.push(item), {
    budget: -1,
    isCurrent: () => visited.length < 2,
  });
  assert.equal(stopped, false);
  assert.deepEqual(visited, [1, 2]);
});
