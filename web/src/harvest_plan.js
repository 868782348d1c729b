// How a drop becomes a command line: where each file is mounted in the
// worker's file system, which arguments the harvest gets, and how many logs
// it will report on. Pure functions, for the page and node's unit tests.

export const INPUT_ROOT = '/input';
const encoder = new TextEncoder();

// Compares as the command line's directory listing does: the names' UTF-8
// bytes, unsigned, as strcmp.
export function compareBytes(a, b) {
  return compareEncoded(encoder.encode(a), encoder.encode(b));
}

function compareEncoded(x, y) {
  const n = Math.min(x.length, y.length);
  for (let i = 0; i < n; ++i) if (x[i] !== y[i]) return x[i] - y[i];
  return x.length - y.length;
}

// The command line's suffix filter: the last three characters are "vgm" or
// "vgz" in any case; there is no test for a dot.
export function hasVgmSuffix(path) {
  const tail = path.slice(-3).replace(/[A-Z]/g, (c) => c.toLowerCase());
  return path.length >= 3 && (tail === 'vgm' || tail === 'vgz');
}

// A zip, by its name: ".zip" in any case after at least one character.
export const isZipName = (name) => name.length > 4 && name.slice(-4).toLowerCase() === '.zip';

// `items`: [{path, file}], path relative with "/" between its parts (a
// picked file's name, or a folder's file with its folder's name in front).
// One folder is walked as `timbrex 'folder/*'`; loose files alone are named
// one by one in byte order of their names; anything else (several folders,
// folders with files, or zips with other files) is walked as the one folder
// that holds them all.
// Returns the files to mount under INPUT_ROOT ({path, file}), the
// arguments, and the number of logs the run will report on.
export function planHarvest(items) {
  if (items.length === 0) return { mounts: [], arguments: [], logs: 0 };
  const firstParts = new Set(items.map((item) => item.path.split('/')[0]));
  const nested = items.every((item) => item.path.includes('/'));
  if (!items.some((item) => item.path.includes('/'))) {
    const plan = planFiles(items);
    // The worker opens a zip as a folder in its place, and the command line
    // reads a folder only when it walks it as its one argument: a zip alone
    // is walked as its folder, a zip among other files with them, as the
    // folder that holds them all. Named beside other arguments, its folder
    // would be dropped without a word.
    if (items.length > 1 && items.some((item) => isZipName(item.path))) plan.arguments = [`${INPUT_ROOT}/*`];
    return plan;
  }
  const root = nested && firstParts.size === 1 ? `${INPUT_ROOT}/${[...firstParts][0]}` : INPUT_ROOT;
  const mounts = items.map((item) => ({ path: item.path, file: item.file }));
  return { mounts, arguments: [`${root}/*`], logs: items.filter((item) => hasVgmSuffix(item.path)).length };
}

function planFiles(items) {
  // Each name encoded once, not at every comparison: 2,000 files make 20,000 of them.
  const sorted = items.map((item, order) => ({ item, order, bytes: encoder.encode(item.path) }));
  sorted.sort((a, b) => compareEncoded(a.bytes, b.bytes) || a.order - b.order);
  const taken = new Set();
  const mounts = [];
  for (const { item } of sorted) {
    // Two different files of one name (picked from two folders) each keep it, in a folder of their own.
    let path = item.path;
    for (let copy = 2; taken.has(path); ++copy) path = `${copy}/${item.path}`;
    taken.add(path);
    mounts.push({ path, file: item.file });
  }
  const args = mounts.map((mount) => `${INPUT_ROOT}/${mount.path}`);
  return { mounts, arguments: args, logs: args.filter(hasVgmSuffix).length };
}

// True for the one line the harvest prints per log it reads: the
// processing line, or why the log could not be read.
export function isLogLine(line) {
  return (
    /^OK: Processing '/.test(line) ||
    /^ERR: (Can't open file|Can't alloc memory for file|No VGM found in file) '/.test(line)
  );
}

// What the card shows as a source: the path as the user knows it.
export function displayPath(path) {
  return path.startsWith(`${INPUT_ROOT}/`) ? path.slice(INPUT_ROOT.length + 1) : path;
}
