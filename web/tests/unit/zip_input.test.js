// Zips opened as folders: the reader's directory, entries and refusals, the
// tree the harvest walks, and which of its files are read ahead.
import test from 'node:test';
import assert from 'node:assert/strict';
import { deflateSync } from 'fflate';
import { ZipError, entryPath, listZip, readEntry } from '../../src/worker/zip_reader.js';
import { buildInputTree, countLogs, zipArguments } from '../../src/worker/input_tree.js';
import { readAhead } from '../../src/worker/input_fs.js';
import { handleAt, readHandle } from '../../src/worker/log_handle.js';

const encoder = new TextEncoder();
const decoder = new TextDecoder();

function crc32(bytes) {
  let c = -1;
  for (const b of bytes) {
    c ^= b;
    for (let k = 0; k < 8; ++k) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
  }
  return (c ^ -1) >>> 0;
}

// Writes a zip of `entries` ({name, text | bytes, method = 8, flags, crc,
// size, zip64}): the fields a test sets override what the data says.
function makeZip(entries, { zip64End = false } = {}) {
  const parts = [];
  const directory = [];
  let at = 0;
  const le = (bytes, offset, value, width) => {
    for (let i = 0; i < width; ++i) bytes[offset + i] = Math.floor(value / 2 ** (8 * i)) & 0xff;
  };
  for (const entry of entries) {
    const data = entry.bytes || encoder.encode(entry.text || '');
    const method = entry.method ?? 8;
    const packed = method === 8 ? deflateSync(data) : data;
    const name = encoder.encode(entry.name);
    const crc = entry.crc ?? crc32(data);
    const size = entry.size ?? data.length;
    const local = new Uint8Array(30 + name.length);
    le(local, 0, 0x04034b50, 4);
    le(local, 6, entry.flags || 0, 2);
    le(local, 8, method, 2);
    le(local, 14, crc, 4);
    le(local, 18, packed.length, 4);
    le(local, 22, size, 4);
    le(local, 26, name.length, 2);
    local.set(name, 30);
    const extra = entry.zip64 ? new Uint8Array(4 + 24) : new Uint8Array(0);
    if (entry.zip64) {
      le(extra, 0, 1, 2);
      le(extra, 2, 24, 2);
      le(extra, 4, size, 8);
      le(extra, 12, packed.length, 8);
      le(extra, 20, at, 8);
    }
    const header = new Uint8Array(46 + name.length + extra.length);
    le(header, 0, 0x02014b50, 4);
    le(header, 8, entry.flags || 0, 2);
    le(header, 10, method, 2);
    le(header, 16, crc, 4);
    le(header, 20, entry.zip64 ? 0xffffffff : packed.length, 4);
    le(header, 24, entry.zip64 ? 0xffffffff : size, 4);
    le(header, 28, name.length, 2);
    le(header, 30, extra.length, 2);
    le(header, 42, entry.zip64 ? 0xffffffff : at, 4);
    header.set(name, 46);
    header.set(extra, 46 + name.length);
    parts.push(local, packed);
    directory.push(header);
    at += local.length + packed.length;
  }
  const directoryAt = at;
  const directoryBytes = directory.reduce((n, h) => n + h.length, 0);
  parts.push(...directory);
  if (zip64End) {
    const record = new Uint8Array(56);
    le(record, 0, 0x06064b50, 4);
    le(record, 4, 44, 8);
    le(record, 24, entries.length, 8);
    le(record, 32, entries.length, 8);
    le(record, 40, directoryBytes, 8);
    le(record, 48, directoryAt, 8);
    const locator = new Uint8Array(20);
    le(locator, 0, 0x07064b50, 4);
    le(locator, 8, directoryAt + directoryBytes, 8);
    le(locator, 16, 1, 4);
    parts.push(record, locator);
  }
  const end = new Uint8Array(22);
  le(end, 0, 0x06054b50, 4);
  le(end, 8, zip64End ? 0xffff : entries.length, 2);
  le(end, 10, zip64End ? 0xffff : entries.length, 2);
  le(end, 12, zip64End ? 0xffffffff : directoryBytes, 4);
  le(end, 16, zip64End ? 0xffffffff : directoryAt, 4);
  parts.push(end);
  const zip = new Uint8Array(parts.reduce((n, p) => n + p.length, 0));
  let offset = 0;
  for (const part of parts) {
    zip.set(part, offset);
    offset += part.length;
  }
  return zip;
}

// A zip as the tree sees a dropped file: {zip: bytes} stands for a File.
const reads = [];
const sourceOf = (file) => ({
  size: file.zip.length,
  readAt: (start, end) => {
    reads.push(end - start);
    return file.zip.subarray(start, end);
  },
});
const fileOf = (zip) => ({ zip, size: zip.length });
const plainFile = (size = 10) => ({ size });

// The tree as sorted paths, files with their text.
function flatten(node, prefix = '') {
  const out = [];
  for (const [name, child] of [...node.children].sort((a, b) => (a[0] < b[0] ? -1 : 1))) {
    const path = prefix + name;
    if (child.children) out.push(path + '/', ...flatten(child, path + '/'));
    else out.push(child.load ? `${path}=${decoder.decode(child.load())}` : path);
  }
  return out;
}

function readAll(zip) {
  const source = sourceOf(fileOf(zip));
  return listZip(source.size, source.readAt).map((entry) => ({
    name: entry.name,
    text: decoder.decode(readEntry(source.size, source.readAt, entry)),
  }));
}

test('stored, deflated and ZIP64 entries read back as written', () => {
  const entries = [
    { name: 'a.vgm', text: 'stored', method: 0 },
    { name: 'sub/b.vgz', text: 'deflated '.repeat(1000) },
    { name: 'c.vgm', text: 'zip64', zip64: true },
  ];
  for (const zip64End of [false, true]) {
    assert.deepEqual(
      readAll(makeZip(entries, { zip64End })),
      entries.map((e) => ({ name: e.name, text: e.text })),
    );
  }
});

test('an entry that is encrypted, damaged or not what it claims is refused with the reason', () => {
  const cases = [
    [{ flags: 1 }, /encrypted/],
    [{ method: 12 }, /method 12/],
    [{ crc: 1234 }, /checksum/],
    [{ size: 3 }, /more than it claims/],
    [{ size: 30 }, /fewer bytes/],
    [{ size: 30, method: 0 }, /claims more than its packed bytes/],
    [{ size: 900 * 2 ** 20 }, /claims more than its packed bytes/],
  ];
  for (const [fields, reason] of cases) {
    const zip = makeZip([{ name: 'x.vgm', text: 'some bytes here', ...fields }]);
    const source = sourceOf(fileOf(zip));
    const [entry] = listZip(source.size, source.readAt);
    assert.throws(() => readEntry(source.size, source.readAt, entry), reason, JSON.stringify(fields));
  }
  // A deflated entry whose data is cut short.
  const zip = makeZip([{ name: 'x.vgm', text: 'some bytes here' }]);
  const source = sourceOf(fileOf(zip));
  const [entry] = listZip(source.size, source.readAt);
  assert.throws(() => readEntry(source.size, source.readAt, { ...entry, compressedSize: 3 }), ZipError);
});

test('an archive that is not a zip, is cut short or claims too much is refused whole', () => {
  const zip = makeZip([
    { name: 'a.vgm', text: 'x', size: 600 },
    { name: 'b.vgm', text: 'y', size: 600 },
  ]);
  const list = (bytes, limits) => listZip(bytes.length, (s, e) => bytes.subarray(s, e), limits);
  assert.throws(() => list(encoder.encode('not a zip at all, just some words')), /no zip directory/);
  assert.throws(() => list(zip.subarray(10)), /damaged/);
  assert.throws(() => list(zip, { totalBytes: 1000, entries: 10 }), /claim more than/);
  assert.throws(() => list(zip, { totalBytes: 2000, entries: 1 }), /2 entries; the page opens at most 1/);
  assert.equal(list(zip, { totalBytes: 1200, entries: 2 }).length, 2);
});

test('entry names that would land outside the folder are refused; separators and dots are unified', () => {
  const cases = [
    ['a/b.vgm', ['a', 'b.vgm'], false],
    ['a\\b.vgm', ['a', 'b.vgm'], false],
    ['./a//b.vgm', ['a', 'b.vgm'], false],
    ['dir/', ['dir'], true],
    ['../x.vgm', null],
    ['a/../../x.vgm', null],
    ['..\\x.vgm', null],
    ['/etc/x.vgm', null],
    ['\\x.vgm', null],
    ['C:x.vgm', null],
    ['a\0b.vgm', null],
  ];
  for (const [name, parts, directory] of cases) {
    assert.deepEqual(entryPath(name), parts && { parts, directory }, name);
  }
});

test('a zip becomes a folder of its name, its entries placed as unpacking would', () => {
  reads.length = 0;
  const inner = makeZip([{ name: 'deep.vgm', text: 'in the inner zip' }]);
  const innerInner = makeZip([{ name: 'x.vgm', text: 'two levels down' }]);
  const zip = makeZip([
    { name: 'ost/', text: '' },
    { name: 'ost/one.vgm', text: 'first' },
    { name: 'ost\\two.VGZ', text: 'second' },
    { name: 'ost/one.vgm', text: 'overwritten' },
    { name: '../escape.vgm', text: 'bad' },
    { name: 'readme.txt', text: 'words' },
    { name: 'empty/', text: '' },
    { name: 'more.zip', bytes: inner, method: 0 },
    { name: 'sub/deeper.zip', bytes: makeZip([{ name: 'inner.zip', bytes: innerInner }]) },
    { name: 'ost', text: 'a file where a folder is' },
    { name: 'filler.bin', bytes: new Uint8Array(100000), method: 0 },
  ]);
  const mounts = [
    { path: 'set/pack.zip', file: fileOf(zip) },
    { path: 'set/a.vgm', file: plainFile() },
    { path: 'set/pack', file: plainFile() },
    { path: 'set/bad.ZIP', file: fileOf(encoder.encode('no zip here, only some words in a file')) },
  ];
  const { root, zips } = buildInputTree(mounts, sourceOf);
  assert.deepEqual(flatten(root), [
    'set/',
    'set/a.vgm',
    'set/bad.ZIP',
    'set/pack',
    'set/pack.zip/',
    'set/pack.zip/empty/',
    `set/pack.zip/filler.bin=${decoder.decode(new Uint8Array(100000))}`,
    'set/pack.zip/more/',
    'set/pack.zip/more/deep.vgm=in the inner zip',
    'set/pack.zip/ost/',
    'set/pack.zip/ost/one.vgm=overwritten',
    'set/pack.zip/ost/two.VGZ=second',
    'set/pack.zip/readme.txt=words',
    'set/pack.zip/sub/',
    'set/pack.zip/sub/deeper/',
    `set/pack.zip/sub/deeper/inner.zip=${decoder.decode(innerInner)}`,
  ]);
  assert.deepEqual(zips, [
    { path: 'set/bad.ZIP', folderPath: null, problem: 'no zip directory at its end', skipped: 0 },
    { path: 'set/pack.zip', folderPath: 'set/pack.zip', problem: null, skipped: 2 },
  ]);
  assert.equal(countLogs(root), 4);
  // Read in pieces: never the whole archive in one read.
  assert.ok(Math.max(...reads) < zip.length, `largest read ${Math.max(...reads)} of ${zip.length}`);
  assert.deepEqual(zipArguments(['/input/set/a.vgm', '/input/set/pack.zip', '/input/set/bad.ZIP'], '/input', zips), [
    '/input/set/a.vgm',
    '/input/set/pack.zip/*',
  ]);
});

test('a file the browser will not give stays in the tree, and a zip of it cannot be opened', () => {
  const refused = Object.assign(new Error('changed since it was picked'), { name: 'NotReadableError' });
  const refusing = (file) =>
    file.refuses
      ? {
          size: 100,
          readAt: () => {
            throw refused;
          },
        }
      : sourceOf(file);
  const mounts = [
    { path: 'a.vgm', file: null },
    { path: 'gone.zip', file: null },
    { path: 'locked.zip', file: { refuses: true, size: 100 } },
  ];
  const { root, zips } = buildInputTree(mounts, refusing);
  assert.deepEqual(flatten(root), ['a.vgm', 'gone.zip', 'locked.zip']);
  assert.deepEqual(
    zips.map((zip) => [zip.path, zip.problem]),
    [
      ['gone.zip', 'it could not be read'],
      ['locked.zip', 'it could not be read'],
    ],
  );
  assert.equal(countLogs(root), 1);
  // A fault of the program's own is not taken for a file that cannot be read.
  const broken = () => {
    throw new TypeError('not a reader');
  };
  assert.throws(() => buildInputTree([{ path: 'x.zip', file: {} }], broken), TypeError);
});

test('only logs are read ahead, as far as the walk will read them', async () => {
  const file = (text) => ({ file: new Blob([text]), size: text.length });
  const log = file('a log');
  const notes = file('liner notes');
  const inner = file('another log');
  const tree = {
    children: new Map([
      ['a.VGZ', log],
      ['notes.txt', notes],
      ['sub', { children: new Map([['b.vgm', inner]]) }],
    ]),
  };
  await readAhead(tree);
  assert.equal(decoder.decode(log.readAhead), 'a log');
  assert.equal(decoder.decode(inner.readAhead), 'another log');
  assert.equal(notes.readAhead, undefined);

  // A folder of many logs: every one read, each into its own node, with a
  // few reads in flight at a time, never one per file.
  let inFlight = 0;
  let most = 0;
  const counted = (text) => ({
    size: text.length,
    file: {
      size: text.length,
      arrayBuffer: async () => {
        most = Math.max(most, ++inFlight);
        await new Promise((resolve) => setTimeout(resolve, 1));
        --inFlight;
        return encoder.encode(text).buffer;
      },
    },
  });
  const many = Array.from({ length: 100 }, (_, i) => [`${i}.vgm`, counted(`log ${i}`)]);
  await readAhead({ children: new Map(many) });
  assert.deepEqual(
    many.map(([, node]) => decoder.decode(node.readAhead)),
    many.map((_, i) => `log ${i}`),
  );
  assert.ok(most > 1 && most <= 8, `${most} reads in flight`);
});

test('a log is read again from its handle: a dropped file, a zip entry, an entry of a zip in a zip', () => {
  const inner = makeZip([{ name: 'deep.vgz', text: 'in the inner zip' }]);
  const zip = makeZip([
    { name: 'ost/one.vgm', text: 'first' },
    { name: 'more.zip', bytes: inner },
  ]);
  const plain = { zip: encoder.encode('a dropped log'), size: 13 };
  const mounts = [
    { path: 'set/pack.zip', file: fileOf(zip) },
    { path: 'set/a.vgm', file: plain },
  ];
  const { root } = buildInputTree(mounts, sourceOf);
  const handles = ['set/a.vgm', 'set/pack/ost/one.vgm', 'set/pack/more/deep.vgz'].map((p) =>
    handleAt(root, '/input', `/input/${p}`),
  );
  // Only the files and the entries' places are kept: a structured clone (as
  // the worker posts them to the page and back) reads the same bytes.
  const kept = structuredClone(handles);
  assert.deepEqual(
    kept.map((h) => decoder.decode(readHandle(h, sourceOf))),
    ['a dropped log', 'first', 'in the inner zip'],
  );
  assert.equal(handles[0].file, plain);
  assert.equal(handles[2].file.zip, zip);
  assert.equal(handleAt(root, '/input', '/input/set/pack/ost/none.vgm'), null);
  assert.equal(handleAt(root, '/input', '/input/set/pack/ost'), null);
  assert.equal(handleAt(root, '/input', '/elsewhere/set/a.vgm'), null);
  // A zip changed since the harvest: its entry fails its checks and the read throws.
  const changed = { ...handles[1], file: fileOf(makeZip([{ name: 'ost/one.vgm', text: 'other' }])) };
  assert.throws(() => readHandle(changed, sourceOf), ZipError);
});
