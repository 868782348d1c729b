// Long loops on the page's main thread, cut into slices of a few
// milliseconds with a new task between them, so that the page draws,
// scrolls and takes clicks while they run.

// Resolves in a new task. A MessageChannel's message is not held back as a
// timer set from a timer is (at least 4 ms), so a loop of many slices loses
// no time between them.
export function nextTask() {
  return new Promise((resolve) => {
    const channel = new MessageChannel();
    channel.port1.onmessage = () => {
      channel.port1.close();
      resolve();
    };
    channel.port2.postMessage(null);
  });
}

// Calls `each(item)` for every item of `items`, `budget` milliseconds at a
// time. Returns false, having stopped early, when `isCurrent()` turns false
// between slices (the work was cancelled or replaced), else true.
export async function inSlices(items, each, { budget = 8, isCurrent = () => true } = {}) {
  let start = performance.now();
  for (const item of items) {
    if (performance.now() - start > budget) {
      await nextTask();
      if (!isCurrent()) return false;
      start = performance.now();
    }
    each(item);
  }
  return true;
}

// Runs `work(item, index)` for the items in order, at most `limit` at a
// time, and resolves once all have finished. A folder of thousands of files
// asks the browser for a few at once, not for thousands. No item is
// started after `isCurrent()` turns false.
export async function fewAtATime(items, limit, work, isCurrent = () => true) {
  let next = 0;
  const runner = async () => {
    while (next < items.length && isCurrent()) {
      const at = next++;
      await work(items[at], at);
    }
  };
  await Promise.all(Array.from({ length: Math.min(limit, items.length) }, runner));
}
