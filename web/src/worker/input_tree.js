// The tree of files the harvest walks: the dropped files where the page
// placed them, and each zip among them (".zip" in any case) as a folder of
// its name without ".zip", holding its entries as they would be unpacked
// there. A zip inside a zip is opened too, one level deep. Pure: the
// caller says how to read a dropped file (`sourceOf`), for node's tests.
//
// A directory is {children: Map(name -> node)}; a file is {size, load(),
// handle}, `load` giving its bytes (a dropped file may instead be read in
// pieces, see input_fs.js, through `file`), `handle` how to read it again
// later (log_handle.js): {file} for a dropped file, {file, entry} for a zip's
// entry, {file, entry, inner} for an entry of a zip inside it.
import { ZipError, ZIP_LIMITS, entryPath, listZip, readEntry } from './zip_reader.js';
import { compareBytes, hasVgmSuffix, isZipName } from '../harvest_plan.js';

const newDirectory = () => ({ children: new Map() });

// The directory at `parts` below `root`, made as needed; null if a file
// stands in the way.
function directoryAt(root, parts) {
  let node = root;
  for (const part of parts) {
    let child = node.children.get(part);
    if (!child) {
      child = newDirectory();
      node.children.set(part, child);
    }
    if (!child.children) return null;
    node = child;
  }
  return node;
}

// Puts `file` at `parts`, replacing a file of that name (a later entry
// overwrites an earlier one, as unpacking does); false if a directory has
// the name or a file stands where a directory must be.
function placeFile(root, parts, file) {
  const folder = directoryAt(root, parts.slice(0, -1));
  const name = parts[parts.length - 1];
  if (!folder || (folder.children.has(name) && folder.children.get(name).children)) return false;
  folder.children.set(name, file);
  return true;
}

// Reads bytes [start, end) of an archive held in memory.
const memoryReader = (bytes) => (start, end) => bytes.subarray(start, Math.min(end, bytes.length));

// Fills `folder` with the zip's entries. `nested` is the zip's own reader
// when it may hold zips to open; an inner zip is kept as its entry and read
// again when one of its own entries is read (the last one read is kept).
// `handleOf(entry)` says how an entry is found again. Returns the number of
// entries skipped for their names.
function unpackInto(folder, zip, openNested, handleOf) {
  let skipped = 0;
  for (const entry of listZip(zip.size, zip.readAt, zip.limits)) {
    const path = entryPath(entry.name);
    if (path === null) {
      ++skipped;
      continue;
    }
    if (path.parts.length === 0) continue;
    if (path.directory) {
      if (!directoryAt(folder, path.parts)) ++skipped;
      continue;
    }
    const name = path.parts[path.parts.length - 1];
    if (openNested && isZipName(name)) {
      const inner = newDirectory();
      try {
        const outer = handleOf(entry);
        const innerHandle = (innerEntry) => ({ file: outer.file, entry: outer.entry, inner: innerEntry });
        skipped += unpackInto(inner, openNested(entry), null, innerHandle);
        if (placeFolder(folder, path.parts, inner)) continue;
      } catch (error) {
        if (!(error instanceof ZipError)) throw error;
      }
      // An inner zip that cannot be opened stays a file, which the walk skips.
    }
    const file = { size: entry.size, load: () => readEntry(zip.size, zip.readAt, entry), handle: handleOf(entry) };
    if (!placeFile(folder, path.parts, file)) ++skipped;
  }
  return skipped;
}

// Places an opened zip's folder beside it: named without ".zip", or with it
// when something of the shorter name is already there.
function placeFolder(parent, parts, folder) {
  const zipName = parts[parts.length - 1];
  const above = directoryAt(parent, parts.slice(0, -1));
  if (!above) return false;
  const name = above.children.has(zipName.slice(0, -4)) ? zipName : zipName.slice(0, -4);
  if (above.children.has(name)) return false;
  above.children.set(name, folder);
  return { name };
}

// A dropped file; null stands for one the browser could not give (its
// opening then fails, as for a file that cannot be read).
const droppedFile = (file) => ({ size: file ? file.size : 0, file, handle: { file } });

// The browser's refusals to read a dropped file (gone, changed or locked
// since it was picked): the zip is then one that cannot be opened.
const UNREADABLE = 'it could not be read';
const isReadFailure = (error) => ['NotReadableError', 'NotFoundError', 'SecurityError'].includes(error && error.name);

// `mounts`: [{path, file}] as the page planned them; `sourceOf(file)` gives
// {size, readAt(start, end)} for a dropped file. Returns {root, zips:
// [{path, folderPath, problem, skipped}]}: for each zip, in byte order of
// the paths, where its folder went (null when it could not be opened) and
// why not.
export function buildInputTree(mounts, sourceOf, givenLimits) {
  const limits = givenLimits || ZIP_LIMITS;
  const root = newDirectory();
  const zips = [];
  for (const mount of mounts) {
    const parts = mount.path.split('/');
    if (isZipName(parts[parts.length - 1])) zips.push({ mount, parts });
    else placeFile(root, parts, droppedFile(mount.file));
  }
  // In byte order of their paths, so that their lines come in one order.
  zips.sort((a, b) => compareBytes(a.mount.path, b.mount.path));
  const opened = [];
  let lastInner = { entry: null, bytes: null };
  for (const zipMount of zips) {
    const mount = zipMount.mount;
    const parts = zipMount.parts;
    const report = { path: mount.path, folderPath: null, problem: null, skipped: 0 };
    try {
      if (!mount.file) throw new ZipError(UNREADABLE);
      const source = sourceOf(mount.file);
      const zip = { size: source.size, readAt: source.readAt, limits };
      const openNested = (entry) => {
        if (lastInner.entry !== entry) lastInner = { entry, bytes: readEntry(zip.size, zip.readAt, entry) };
        return { size: lastInner.bytes.length, readAt: memoryReader(lastInner.bytes), limits };
      };
      const folder = newDirectory();
      const handleOf = (entry) => ({ file: mount.file, entry });
      report.skipped = unpackInto(folder, zip, (entry) => nestedZip(entry, openNested), handleOf);
      const placed = placeFolder(root, parts, folder);
      if (placed) report.folderPath = [...parts.slice(0, -1), placed.name].join('/');
      else report.problem = 'a file of its name is in the way';
    } catch (error) {
      if (isReadFailure(error)) report.problem = UNREADABLE;
      else if (error instanceof ZipError) report.problem = error.message;
      else throw error;
    }
    if (!report.folderPath) placeFile(root, parts, droppedFile(mount.file));
    opened.push(report);
  }
  return { root, zips: opened };
}

// An inner zip as a source whose reads inflate it again when another inner
// zip was read since (only one is held in memory at a time).
function nestedZip(entry, openNested) {
  const first = openNested(entry);
  return {
    size: first.size,
    readAt: (start, end) => openNested(entry).readAt(start, end),
    limits: first.limits,
  };
}

// The number of logs in the tree: the files the walk will read.
export function countLogs(node) {
  if (!node.children) return 0;
  let logs = 0;
  node.children.forEach((child, name) => {
    logs += child.children ? countLogs(child) : hasVgmSuffix(name) ? 1 : 0;
  });
  return logs;
}

// The harvest's arguments with each opened zip named as its folder's walk,
// and without the zips that could not be opened.
export function zipArguments(args, inputRoot, zips) {
  const result = [];
  for (const argument of args) {
    const zip = zips.find((z) => argument === `${inputRoot}/${z.path}`);
    if (!zip) result.push(argument);
    else if (zip.folderPath) result.push(`${inputRoot}/${zip.folderPath}/*`);
  }
  return result;
}
