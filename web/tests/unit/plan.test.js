// How picked files and dropped folders become the harvest's arguments.
import test from 'node:test';
import assert from 'node:assert/strict';
import * as Plan from '../../src/harvest_plan.js';
import { folderItems } from '../../src/picked_items.js';

const items = (...paths) => paths.map((path) => ({ path, file: { name: path } }));

test('loose files are named one by one, in byte order of their names', () => {
  const plan = Plan.planHarvest(items('b.vgm', 'Z.vgz', 'a.vgm', 'ä.vgm', 'notes.txt'));
  assert.deepEqual(plan.arguments, [
    '/input/Z.vgz',
    '/input/a.vgm',
    '/input/b.vgm',
    '/input/notes.txt',
    '/input/ä.vgm',
  ]);
  assert.equal(plan.logs, 4);
});

test('two files of one name both get harvested, each under its own folder', () => {
  const plan = Plan.planHarvest(items('x.vgm', 'x.vgm'));
  assert.deepEqual(
    plan.mounts.map((m) => m.path),
    ['x.vgm', '2/x.vgm'],
  );
  assert.deepEqual(plan.arguments, ['/input/x.vgm', '/input/2/x.vgm']);
});

test('one folder is walked as the command line walks "folder/*"', () => {
  const plan = Plan.planHarvest(items('songs/b.vgz', 'songs/sub/c.VGM', 'songs/readme.txt'));
  assert.deepEqual(plan.arguments, ['/input/songs/*']);
  assert.deepEqual(
    plan.mounts.map((m) => m.path),
    ['songs/b.vgz', 'songs/sub/c.VGM', 'songs/readme.txt'],
  );
  assert.equal(plan.logs, 2);
});

test('several folders, folders with files, or zips with files are walked as the folder holding them', () => {
  assert.deepEqual(Plan.planHarvest(items('a/x.vgm', 'b/y.vgm')).arguments, ['/input/*']);
  assert.deepEqual(Plan.planHarvest(items('a/x.vgm', 'y.vgm')).arguments, ['/input/*']);
  // A zip is a folder once opened: alone it is walked as that folder (the
  // worker names it), among other files with them.
  assert.deepEqual(Plan.planHarvest(items('ost.zip')).arguments, ['/input/ost.zip']);
  assert.deepEqual(Plan.planHarvest(items('b.vgm', 'more.ZIP')).arguments, ['/input/*']);
  assert.deepEqual(Plan.planHarvest(items('a.zip', 'b.zip')).arguments, ['/input/*']);
  assert.deepEqual(Plan.planHarvest([]).arguments, []);
});

test("the suffix filter and the byte order are the command line's", () => {
  assert.ok(Plan.hasVgmSuffix('songvgm'));
  assert.ok(Plan.hasVgmSuffix('x.VgZ'));
  assert.ok(!Plan.hasVgmSuffix('x.vgm.bak'));
  assert.ok(!Plan.hasVgmSuffix('gz'));
  // U+FF5E sorts before U+1F600 in UTF-8 bytes, though not in UTF-16 code units.
  assert.ok(Plan.compareBytes('\uff5e', '\u{1f600}') < 0);
  assert.ok(Plan.compareBytes('B', 'a') < 0);
  assert.ok(Plan.compareBytes('a', 'ab') < 0);
});

test('one line per log counts toward the progress', () => {
  assert.ok(Plan.isLogLine("OK: Processing '/input/a.vgm' (VGM v1.50)"));
  assert.ok(Plan.isLogLine("ERR: No VGM found in file '/input/a.vgm'"));
  assert.ok(Plan.isLogLine("ERR: Can't open file '/input/a.vgm'"));
  assert.ok(!Plan.isLogLine('OK: 5 instruments were found'));
  assert.ok(!Plan.isLogLine("ERR: Can't save file '/output/a_0.vpf'"));
  assert.equal(Plan.displayPath('/input/songs/a.vgm'), 'songs/a.vgm');
});

test("a picked folder's handle gives the items an <input> gives; a file the browser refuses keeps its place", async () => {
  const file = (name) => ({ kind: 'file', name, getFile: async () => ({ name }) });
  const refused = Object.assign(new Error('gone since the walk'), { name: 'NotFoundError' });
  const gone = { kind: 'file', name: 'gone.vgm', getFile: () => Promise.reject(refused) };
  const folder = (name, children) => ({
    kind: 'directory',
    name,
    entries: async function* entries() {
      for (const child of children) yield [child.name, child];
    },
  });
  const picked = folder('ost', [file('a.vgm'), gone, folder('disc 2', [file('b.vgz')]), file('notes.txt')]);
  const items = await folderItems(picked);
  assert.deepEqual(
    items.map((item) => [item.path, item.file && item.file.name]),
    [
      ['ost/a.vgm', 'a.vgm'],
      ['ost/gone.vgm', null],
      ['ost/disc 2/b.vgz', 'b.vgz'],
      ['ost/notes.txt', 'notes.txt'],
    ],
  );
});
