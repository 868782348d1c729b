// A window onto a long list: only the items near the view are in the page,
// with space before and after them standing for the rest. The range is a
// pure function; createWindow keeps the page's elements in step with it.

// The items to have in the page: whole rows of `columns` items, `rowHeight`
// pixels each, from `overscan` rows above the view to `overscan` below it.
// `top` is where the list starts relative to the top of the view (negative
// once scrolled past), `viewport` the view's height.
export function windowRange({ top, viewport, rowHeight, columns, count, overscan }) {
  const rows = Math.ceil(count / columns);
  const clamp = (row) => Math.min(rows, Math.max(0, row));
  const firstRow = clamp(Math.floor(-top / rowHeight) - overscan);
  const lastRow = Math.max(firstRow, clamp(Math.ceil((viewport - top) / rowHeight) + overscan));
  return {
    first: firstRow * columns,
    last: Math.min(count, lastRow * columns),
    before: firstRow * rowHeight,
    after: (rows - lastRow) * rowHeight,
  };
}

// Keeps the elements of the items in range in `parent`, between `start` and
// `end` (nodes that stay, or null for its first and last child), and calls
// `space(before, after)` to stand for the rest. `render(item)` makes an
// item's element; the last `keep` are kept for when they come back.
// `layout()` gives {columns, rowHeight} now; `measure(elements)` the row
// height the elements take (0 to keep the current one); `entered(elements)`,
// when given, is told which kept elements came back into the page.
// Elements that stay in range are never moved, so focus inside them stays.
export function createWindow({ parent, start, end, space, render, layout, measure, keep, overscan, entered }) {
  const cache = new Map();
  // Elements that have been in the page, to tell those that come back from new ones.
  const placed = new WeakSet();
  let items = [];
  let rowHeight = 0;
  let current = null;

  function elementOf(item) {
    let element = cache.get(item);
    if (element) cache.delete(item);
    else element = render(item);
    cache.set(item, element);
    return element;
  }

  function trimCache(shown) {
    for (const [item, element] of cache) {
      if (cache.size <= keep) break;
      if (!shown.has(element)) cache.delete(item);
    }
  }

  function place(elements) {
    const wanted = new Set(elements);
    let node = start ? start.nextSibling : parent.firstChild;
    while (node && node !== end) {
      const next = node.nextSibling;
      if (!wanted.has(node)) node.remove();
      node = next;
    }
    const back = [];
    let cursor = start ? start.nextSibling : parent.firstChild;
    for (const element of elements) {
      if (element === cursor) cursor = cursor.nextSibling;
      else {
        if (!element.isConnected && placed.has(element)) back.push(element);
        parent.insertBefore(element, cursor);
        placed.add(element);
      }
    }
    trimCache(wanted);
    if (entered && back.length > 0) entered(back);
  }

  // Brings the page in step with the scroll position; cheap when nothing moved.
  function update() {
    if (!parent.isConnected || parent.getClientRects().length === 0) return;
    const now = layout();
    if (!rowHeight) rowHeight = now.rowHeight;
    for (let pass = 0; pass < 3; ++pass) {
      const range = windowRange({
        top: parent.getBoundingClientRect().top,
        viewport: window.innerHeight,
        rowHeight,
        columns: now.columns,
        count: items.length,
        overscan,
      });
      const key = `${range.first}/${range.last}/${range.before}/${range.after}`;
      if (key === current) return;
      current = key;
      const elements = items.slice(range.first, range.last).map(elementOf);
      place(elements);
      space(range.before, range.after);
      const measured = measure(elements);
      if (!measured || Math.abs(measured - rowHeight) < 1) return;
      rowHeight = measured;
    }
  }

  let pending = false;
  const schedule = () => {
    if (pending) return;
    pending = true;
    requestAnimationFrame(() => {
      pending = false;
      update();
    });
  };
  window.addEventListener('scroll', schedule, { passive: true });
  window.addEventListener('resize', () => {
    current = null;
    rowHeight = 0;
    schedule();
  });

  return {
    // Shows `list` (an array of items) from its start or where the view is.
    show(list) {
      items = list;
      current = null;
      update();
    },
    // Forgets the elements (a new harvest, or the view is hidden).
    clear() {
      items = [];
      current = null;
      place([]);
      space(0, 0);
      cache.clear();
    },
    // Scrolls so that the item at `index` is in view; returns its element.
    reveal(index) {
      const top = parent.getBoundingClientRect().top + window.scrollY;
      const row = Math.floor(index / layout().columns);
      const y = top + row * rowHeight;
      if (y < window.scrollY || y + rowHeight > window.scrollY + window.innerHeight)
        window.scrollTo(0, y - window.innerHeight / 3);
      current = null;
      update();
      return cache.get(items[index]);
    },
    update,
    // Measures the elements in range again (they changed size).
    remeasure() {
      current = null;
      update();
    },
    get items() {
      return items;
    },
  };
}
