// The two views of a harvest: the compact list (a table, one row per
// instrument, sortable by its column headers) and the cards. Each is a
// window onto the array of shown instruments: only what is near the view
// is in the page, whatever the size of the harvest.
import { createWindow } from './virtual_window.js';
import { COLUMNS } from './instrument_view.js';
import { element, button } from './dom.js';

const $ = (id) => document.getElementById(id);

// The compact list. `onOpen(instrument)` opens an instrument's card;
// `onSort(key)` asks for a column's order (the page decides the direction).
export function createListView({ onOpen, onSort }) {
  const head = $('list-head');
  const rows = $('list-rows');
  let width = 0;
  let measured = 0;
  const before = element('tr', 'spacer');
  const after = element('tr', 'spacer');
  before.setAttribute('aria-hidden', 'true');
  after.setAttribute('aria-hidden', 'true');
  rows.append(before, after);
  $('list-columns').append(...COLUMNS.map((c) => element('col', `column-${c.key}`)));
  const headers = COLUMNS.map((column) => {
    const th = element('th');
    th.scope = 'col';
    const sort = button('sort', column.header || column.label);
    if (column.header) sort.title = column.label;
    sort.setAttribute('aria-label', `${column.label}: sort`);
    sort.addEventListener('click', () => onSort(column.key));
    th.append(sort);
    return th;
  });
  head.append(...headers);

  function renderRow(instrument) {
    const row = element('tr');
    COLUMNS.forEach((column, index) => {
      const text = column.text(instrument);
      const cell = element(index === 0 ? 'th' : 'td', `column-${column.key}`);
      if (index === 0) {
        cell.scope = 'row';
        const open = button('open', text);
        open.dataset.group = String(instrument.group);
        open.addEventListener('click', () => onOpen(instrument, open));
        cell.append(open);
      } else {
        cell.textContent = text;
      }
      if (text.length > 6) cell.title = text;
      row.append(cell);
    });
    return row;
  }

  const window_ = createWindow({
    parent: rows,
    start: before,
    end: after,
    space: (top, bottom) => {
      before.style.height = `${top}px`;
      after.style.height = `${bottom}px`;
    },
    render: renderRow,
    layout: () => {
      width = rows.clientWidth;
      return { columns: 1, rowHeight: 36 };
    },
    // Rows are one line each: measured once per width, as reading a height
    // makes the browser lay the page out there and then.
    measure: (elements) => {
      if (elements.length === 0 || measured === width) return 0;
      measured = width;
      return elements[0].offsetHeight;
    },
    keep: 200,
    overscan: 4,
  });

  // Up and down, Home and End move between the rows' buttons, scrolling
  // the window, so the whole list is reachable from the keyboard.
  rows.addEventListener('keydown', (event) => {
    const open = event.target.closest('button.open');
    if (!open) return;
    const items = window_.items;
    const index = items.findIndex((i) => String(i.group) === open.dataset.group);
    const moves = { ArrowDown: index + 1, ArrowUp: index - 1, Home: 0, End: items.length - 1, PageDown: index + 15 };
    moves.PageUp = index - 15;
    if (!(event.key in moves) || index < 0) return;
    event.preventDefault();
    const to = Math.min(items.length - 1, Math.max(0, moves[event.key]));
    const row = window_.reveal(to);
    if (row) row.querySelector('button.open').focus();
  });

  return {
    show: (shown) => window_.show(shown),
    clear: () => {
      measured = 0;
      window_.clear();
    },
    update: () => window_.update(),
    // Marks the sorted column for screen readers and the eye.
    markSort(key, descending) {
      headers.forEach((th, i) => {
        if (COLUMNS[i].key === key) th.setAttribute('aria-sort', descending ? 'descending' : 'ascending');
        else th.removeAttribute('aria-sort');
      });
    },
  };
}

// The cards, in as many columns as fit. A card comes into the page as its
// shell (`shell(instrument)`) and is drawn (`fill(card, instrument)`) in
// short tasks after it, nearest the top first, so that scrolling never
// waits for a screenful of drawings. `onDrawn()` is called each time every
// card in the window is drawn.
export function createCardsView({ shell, fill, onDrawn }) {
  const list = $('cards');
  const MIN_WIDTH = 340;
  const GAP = 12;
  // How long one task may draw cards for, in ms: reading their heights lays
  // them out and styles them in the same task, in two to four times as long.
  const BUDGET = 3;
  // How many drawn cards coming back into the page one task shows again.
  // Their script is done, but laying a screenful of them out and painting
  // it at once (a jump back to the top) took 50 to 75 ms: they come back
  // folded to their shell and are unfolded a row or so at a time.
  const UNFOLD_AT_ONCE = 3;
  const instrumentOf = new WeakMap();
  let columns = 1;
  let scheduled = false;
  // The width for which the row height was measured, and that height.
  let measured = 0;
  let rowPixels = 0;
  let rowWidth = 0;

  let width = 0;
  let shownTemplate = '';
  const layout = () => {
    width = list.clientWidth;
    columns = width > 480 ? Math.max(1, Math.floor((width + GAP) / (MIN_WIDTH + GAP))) : 1;
    const template = `repeat(${columns}, minmax(0, 1fr))`;
    // Set only when it changes: a style set while scrolling makes the browser lay the grid out again.
    if (template !== shownTemplate) list.style.gridTemplateColumns = shownTemplate = template;
    return { columns, rowHeight: 800 };
  };

  function drawSome() {
    scheduled = false;
    const start = performance.now();
    const drawn = [];
    let unfolded = 0;
    for (const card of list.children) {
      if (!card.classList.contains('pending')) continue;
      const folded = card.classList.contains('folded');
      if ((drawn.length > 0 && performance.now() - start > BUDGET) || (folded && unfolded === UNFOLD_AT_ONCE)) {
        schedule();
        break;
      }
      if (folded) {
        card.classList.remove('folded');
        ++unfolded;
      } else fill(card, instrumentOf.get(card));
      card.classList.remove('pending');
      drawn.push(card);
    }
    // The first drawn card of a layout gives the row height; a card drawn
    // later that is taller (a warning, a note on its chip) raises it, or it
    // would spill over the card below it, or over the downloads after the list.
    if (measured && drawn.some((card) => card.scrollHeight > rowPixels)) measured = 0;
    if (!measured) window_.remeasure();
    if (!scheduled && !list.querySelector('.card.pending')) onDrawn();
  }

  function schedule() {
    if (scheduled) return;
    scheduled = true;
    setTimeout(drawSome, 0);
  }

  const window_ = createWindow({
    parent: list,
    start: null,
    end: null,
    space: (top, bottom) => {
      list.style.paddingTop = `${top}px`;
      list.style.paddingBottom = `${bottom}px`;
    },
    render: (instrument) => {
      const card = shell(instrument);
      card.classList.add('pending');
      instrumentOf.set(card, instrument);
      return card;
    },
    layout,
    // Every card of a layout is as tall as the tallest drawn: rows are spaced by it.
    measure: (elements) => {
      if (elements.length > 0 && elements.some((e) => e.classList.contains('pending'))) schedule();
      // Cards of one layout are all as tall: once measured, reading a height
      // again would only make the browser lay the page out before its time.
      if (measured === width) return 0;
      const drawn = elements.filter((e) => !e.classList.contains('pending'));
      // A card's content may reach past the row it is given: scrollHeight.
      // Raised for a taller card, rows stay at least as tall at this width.
      const floor = rowWidth === width ? rowPixels : 0;
      const tallest = Math.max(0, floor, ...drawn.map((e) => Math.max(e.offsetHeight, e.scrollHeight)));
      if (!tallest) return 0;
      measured = width;
      rowPixels = tallest;
      rowWidth = width;
      list.style.gridAutoRows = `${tallest}px`;
      return tallest + GAP;
    },
    keep: 60,
    overscan: 1,
    entered: (cards) => {
      for (const card of cards) {
        if (card.classList.contains('pending')) continue;
        card.classList.add('pending', 'folded');
      }
      schedule();
    },
  });

  return {
    show: (shown) => window_.show(shown),
    clear: () => {
      measured = 0;
      rowPixels = 0;
      window_.clear();
    },
    update: () => window_.update(),
  };
}
