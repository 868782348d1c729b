// Reading a harvested log again, long after its harvest: the page keeps, per
// instrument, only the handle of its source log (the dropped File, and where
// in a zip the log is), never the log's bytes. Pure: the caller says how a
// File is read (`sourceOf`, as input_tree.js takes it), for node's tests.
import { readEntry } from './zip_reader.js';

// The handle of the log at `sourcePath` (as the harvest names it, under
// `inputRoot`) in the tree input_tree.js built; null if the tree has none.
export function handleAt(root, inputRoot, sourcePath) {
  if (!sourcePath.startsWith(`${inputRoot}/`)) return null;
  let node = root;
  for (const part of sourcePath.slice(inputRoot.length + 1).split('/')) {
    node = node.children ? node.children.get(part) : null;
    if (!node) return null;
  }
  return node.handle || null;
}

// The log's bytes as its file holds them (gzip-compressed or not): the
// dropped file whole, or its zip entry inflated (and the inner zip's entry
// from that). Throws when the file can no longer be read or the entry fails
// its checks.
export function readHandle(handle, sourceOf) {
  const source = sourceOf(handle.file);
  if (!handle.entry) return source.readAt(0, source.size);
  const bytes = readEntry(source.size, source.readAt, handle.entry);
  if (!handle.inner) return bytes;
  return readEntry(bytes.length, (start, end) => bytes.subarray(start, Math.min(end, bytes.length)), handle.inner);
}
