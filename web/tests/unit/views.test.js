// What the lists show: the window onto a long list, the filters, the sort
// orders and the counts.
import test from 'node:test';
import assert from 'node:assert/strict';
import { windowRange } from '../../src/virtual_window.js';
import { COLUMNS, count, searchText, shownInstruments, sourceRanks } from '../../src/instrument_view.js';

test('the window holds the rows in view and the overscan, and the space stands for the rest', () => {
  const at = (top, fields) =>
    windowRange(Object.assign({ top, viewport: 900, rowHeight: 100, columns: 3, count: 1380, overscan: 1 }, fields));
  // [top, fields, first, last, before, after]: 1,380 items in 460 rows of 3.
  const rows = [
    [0, {}, 0, 30, 0, 45000],
    [200, {}, 0, 24, 0, 45200],
    [-250, {}, 3, 39, 100, 44700],
    [-45100, {}, 1350, 1380, 45000, 0],
    [-99999, {}, 1380, 1380, 46000, 0],
    [0, { count: 0 }, 0, 0, 0, 0],
    [0, { count: 4 }, 0, 4, 0, 0],
    [-130, { columns: 1, rowHeight: 36, count: 1380, overscan: 2 }, 1, 31, 36, 48564],
    [-49590, { columns: 1, rowHeight: 36, count: 1380, overscan: 2 }, 1375, 1380, 49500, 0],
  ];
  for (const [top, fields, first, last, before, after] of rows) {
    const range = at(top, fields);
    assert.deepEqual(range, { first, last, before, after }, `top ${top} ${JSON.stringify(fields)}`);
  }
  // Wherever the view is, the window's size is bounded by the view, not by the list.
  for (let top = 500; top > -50000; top -= 777) assert.ok(at(top).last - at(top).first <= 36);
});

const voice = (ALG, FB) => ({ ALG, FB, operators: [] });
const heard = (chip, channel, sample, logs, captures) => ({ chip, channel, sample, logs, captures });
const instruments = [
  {
    group: 0,
    fileName: 'song_0.vpf',
    source: 'b/Song.vgz',
    voice: voice(4, 7),
    origin: heard('YM2612', 3, 44100, 2, 5),
  },
  {
    group: 1,
    fileName: 'song_1.vpf',
    source: 'b/Song.vgz',
    voice: voice(7, 0),
    origin: heard('YM2612', 1, 88200, 1, 1),
  },
  { group: 2, fileName: 'intro_0.vpf', source: 'a/Intro.vgm', voice: voice(0, 3), origin: heard('YM2151', 8, 0, 1, 3) },
  { group: 3, fileName: 'boss_0.vpf', source: 'c/Boss theme.vgz', voice: null },
  {
    group: 4,
    fileName: 'boss_1.vpf',
    source: 'c/Boss theme.vgz',
    voice: voice(4, 1),
    origin: heard('YM2612', 1, 441, 1, 1),
  },
];
const groups = (view) => shownInstruments(instruments, view).map((i) => i.group);

test('the text filter finds names and sources in any case; the lists filter by source, algorithm and chip', () => {
  const rows = [
    [{}, [0, 1, 2, 3, 4]],
    [{ text: 'BOSS' }, [3, 4]],
    [{ text: '  intro ' }, [2]],
    [{ text: 'b/song' }, [0, 1]],
    [{ text: 'theme' }, [3, 4]],
    [{ text: 'song_0.vpf\nb/' }, [0]],
    [{ text: 'nothing like it' }, []],
    [{ source: 'b/Song.vgz' }, [0, 1]],
    [{ alg: '4' }, [0, 4]],
    [{ alg: '4', text: 'boss' }, [4]],
    [{ chip: 'YM2151' }, [2]],
    [{ chip: 'YM2612', alg: '4' }, [0, 4]],
  ];
  for (const [view, expected] of rows) assert.deepEqual(groups(view), expected, JSON.stringify(view));
  assert.equal(searchText(instruments[3]), 'boss_0.vpf\nc/boss theme.vgz');
});

test('every column sorts both ways, ties in file order, unsaved files last', () => {
  const rows = [
    ['group', [0, 1, 2, 3, 4]],
    ['source', [2, 0, 1, 3, 4]],
    ['alg', [2, 0, 4, 1, 3]],
    ['fb', [1, 4, 2, 0, 3]],
    // One carrier (algorithm 0), two (4), four (7), none saved.
    ['carriers', [2, 0, 4, 1, 3]],
    // Chip, then channel; first heard; heard in most logs, then most often.
    ['chip', [2, 1, 4, 0, 3]],
    ['heard', [2, 4, 0, 1, 3]],
    ['count', [0, 2, 1, 4, 3]],
  ];
  assert.deepEqual(
    COLUMNS.map((c) => c.key),
    rows.map(([key]) => key),
  );
  for (const [sort, expected] of rows) {
    assert.deepEqual(groups({ sort }), expected, sort);
    // Descending reverses the column's order; ties stay in file order.
    const down = groups({ sort, descending: true });
    const column = COLUMNS.find((c) => c.key === sort);
    for (let i = 1; i < down.length; ++i) {
      const [a, b] = [instruments[down[i - 1]], instruments[down[i]]];
      assert.ok(column.compare(a, b) > 0 || (column.compare(a, b) === 0 && a.group < b.group), `${sort} down`);
    }
  }
  // Sources in the byte order of the command line's listing: 'Z' before 'a', 'z' before 'é'.
  const named = ['é.vgz', 'a.vgz', 'Z.vgz', 'z.vgz', 'a.vgz'].map((source, group) => ({
    group,
    fileName: `${group}.vpf`,
    source,
    voice: null,
  }));
  assert.deepEqual(
    shownInstruments(named, { sort: 'source' }).map((i) => i.group),
    [2, 1, 4, 3, 0],
  );
  // The filters' list of sources is in that order too, and a filtered view keeps it.
  assert.deepEqual([...sourceRanks(named).keys()], ['Z.vgz', 'a.vgz', 'z.vgz', 'é.vgz']);
  assert.deepEqual(
    shownInstruments(named, { sort: 'source', descending: true, text: 'Z.' }).map((i) => i.group),
    [3, 2],
  );
  assert.deepEqual(
    COLUMNS.map((c) => c.text(instruments[0])),
    ['song_0.vpf', 'b/Song.vgz', '4', '7', '2 4', 'YM2612 3', '0:01.00', '2 / 5'],
  );
  assert.deepEqual(
    COLUMNS.map((c) => c.text(instruments[3])),
    ['boss_0.vpf', 'c/Boss theme.vgz', '–', '–', '–', '–', '–', '–'],
  );
});

test('counts say "1 instrument" and "2 instruments"', () => {
  assert.deepEqual(
    [0, 1, 2, 1380].map((n) => count(n, 'instrument')),
    ['0 instruments', '1 instrument', '2 instruments', '1380 instruments'],
  );
});
