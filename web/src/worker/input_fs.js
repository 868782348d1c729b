// The harvest's input folder in the worker: a read-only file system over the
// tree of input_tree.js. A file's bytes are fetched when the harvest opens
// it, in one piece (a dropped file read whole, a zip entry inflated), and let
// go when it closes it, so memory follows the log being read, not the drop.
// A dropped file larger than WHOLE_FILE_BYTES is read in the pieces asked for.
// Before the run, the dropped files are read ahead, all at once and without
// blocking (far faster than one blocking read after another), as far as
// READ_AHEAD_BYTES in all; each is let go once the program has read it.
//
// `FS` is the emscripten module's file system (see main.js).
import { hasVgmSuffix } from '../harvest_plan.js';
import { fewAtATime } from '../slices.js';

const WHOLE_FILE_BYTES = 256 * 2 ** 20;
const READ_AHEAD_BYTES = 256 * 2 ** 20;
const READS_IN_FLIGHT = 8;
// emscripten's errno numbers (WASI's).
const EIO = 29;
const ENOENT = 44;
const EPERM = 63;
const DIRECTORY_MODE = 0o40000 | 0o555;
const FILE_MODE = 0o100000 | 0o444;

// `stats.readMs` adds up the time spent fetching bytes (reading files,
// inflating zip entries), for the benchmark.
export function makeInputFs(FS, stats) {
  const reader = new FileReaderSync();
  const readSlice = (file, start, end) => new Uint8Array(reader.readAsArrayBuffer(file.slice(start, end)));

  function refuse() {
    throw new FS.ErrnoError(EPERM);
  }

  const nodeOps = {
    getattr: (node) => ({
      dev: 1,
      ino: node.id,
      mode: node.mode,
      nlink: 1,
      uid: 0,
      gid: 0,
      rdev: 0,
      size: node.size,
      atime: new Date(0),
      mtime: new Date(0),
      ctime: new Date(0),
      blksize: 4096,
      blocks: Math.ceil(node.size / 4096),
    }),
    setattr: () => {},
    lookup: () => {
      throw new FS.ErrnoError(ENOENT);
    },
    mknod: refuse,
    rename: refuse,
    unlink: refuse,
    rmdir: refuse,
    symlink: refuse,
    readlink: refuse,
    readdir: (node) => ['.', '..', ...Object.keys(node.contents)],
  };

  const streamOps = {
    open(stream) {
      const node = stream.node;
      if (!FS.isFile(node.mode)) return;
      if (node.openCount++ > 0) return;
      const started = performance.now();
      try {
        if (node.bytes) return;
        if (node.source.load) node.bytes = node.source.load();
        else if (node.source.file.size <= WHOLE_FILE_BYTES) node.bytes = readSlice(node.source.file, 0, node.size);
        if (node.bytes) node.size = node.bytes.length;
      } catch {
        node.openCount = 0;
        throw new FS.ErrnoError(EIO);
      } finally {
        stats.readMs += performance.now() - started;
      }
    },
    close(stream) {
      const node = stream.node;
      if (FS.isFile(node.mode) && --node.openCount === 0) node.bytes = null;
    },
    read(stream, buffer, offset, length, position) {
      const node = stream.node;
      if (position >= node.size) return 0;
      const end = Math.min(node.size, position + length);
      let bytes = node.bytes;
      if (bytes) bytes = bytes.subarray(position, end);
      else {
        const started = performance.now();
        bytes = readSlice(node.source.file, position, end);
        stats.readMs += performance.now() - started;
      }
      buffer.set(bytes, offset);
      return bytes.length;
    },
    write() {
      throw new FS.ErrnoError(EIO);
    },
    llseek(stream, offset, whence) {
      let position = offset;
      if (whence === 1) position += stream.position;
      else if (whence === 2 && FS.isFile(stream.node.mode)) position += stream.node.size;
      if (position < 0) throw new FS.ErrnoError(28);
      return position;
    },
  };

  function createNode(parent, name, tree) {
    const isFolder = Boolean(tree.children);
    const node = FS.createNode(parent, name, isFolder ? DIRECTORY_MODE : FILE_MODE, 0);
    node.node_ops = nodeOps;
    node.stream_ops = streamOps;
    if (isFolder) {
      node.size = 4096;
      node.contents = {};
      tree.children.forEach((child, childName) => {
        node.contents[childName] = createNode(node, childName, child);
      });
    } else {
      node.size = tree.size;
      node.source = tree;
      node.bytes = tree.readAhead || null;
      tree.readAhead = null;
      node.openCount = 0;
    }
    return node;
  }

  // mount.opts.tree: the tree's root folder.
  return { mount: (mount) => createNode(null, '/', mount.opts.tree) };
}

// Reads the tree's dropped logs ahead (see above), into their `readAhead`.
export async function readAhead(tree) {
  const files = [];
  let bytes = 0;
  // (Map's forEach passes each child with its name.)
  const visit = (node, name) => {
    if (node.children) node.children.forEach(visit);
    else if (node.file && hasVgmSuffix(name) && bytes + node.file.size <= READ_AHEAD_BYTES) {
      files.push(node);
      bytes += node.file.size;
    }
  };
  visit(tree, '');
  await fewAtATime(files, READS_IN_FLIGHT, async (node) => {
    const buffer = await node.file.arrayBuffer().catch(() => null);
    if (buffer) node.readAhead = new Uint8Array(buffer);
  });
}

// A dropped file as input_tree.js reads a zip: its size and slices.
export function fileSource(file) {
  const reader = new FileReaderSync();
  return {
    size: file.size,
    readAt: (start, end) => new Uint8Array(reader.readAsArrayBuffer(file.slice(start, end))),
  };
}
