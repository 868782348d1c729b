// Reads a zip archive through `readAt(start, end)`, which returns those bytes
// of it (a slice of a File, or of bytes in memory): the central directory from
// the tail, then one entry at a time, inflated in pieces. Nothing here holds
// more than the directory and the entry being read. Pure, for node's tests.
import { Inflate } from 'fflate';

// A zip whose entries claim more than this in all, or that has more entries,
// is refused whole.
export const ZIP_LIMITS = { totalBytes: 2 ** 30, entries: 100000 };
// The central directory is read in one piece; a real one is far smaller.
const MOST_DIRECTORY_BYTES = 64 * 2 ** 20;
const PIECE_BYTES = 2 ** 20;
const MOST_DEFLATE_RATIO = 1032;

const END_RECORD = 0x06054b50;
const ZIP64_LOCATOR = 0x07064b50;
const ZIP64_END_RECORD = 0x06064b50;
const DIRECTORY_HEADER = 0x02014b50;
const LOCAL_HEADER = 0x04034b50;
const STORED = 0;
const DEFLATED = 8;

export class ZipError extends Error {}

const u16 = (b, at) => b[at] | (b[at + 1] << 8);
const u32 = (b, at) => (b[at] | (b[at + 1] << 8) | (b[at + 2] << 16)) + b[at + 3] * 2 ** 24;
const u64 = (b, at) => u32(b, at) + u32(b, at + 4) * 2 ** 32;

function need(condition, reason) {
  if (!condition) throw new ZipError(reason);
}

// Finds the end record in the last 64 KiB + 22 bytes and, when a field is
// too small for the archive, its ZIP64 record. Returns where the central
// directory is and how many entries it holds.
function findDirectory(size, readAt) {
  need(size >= 22, 'too short to be a zip file');
  const tailStart = Math.max(0, size - 22 - 0xffff);
  const tail = readAt(tailStart, size);
  let at = tail.length - 22;
  while (at >= 0 && u32(tail, at) !== END_RECORD) --at;
  need(at >= 0, 'no zip directory at its end');
  let entries = u16(tail, at + 10);
  let directoryBytes = u32(tail, at + 12);
  let directoryAt = u32(tail, at + 16);
  const endAt = tailStart + at;
  if (entries === 0xffff || directoryBytes === 0xffffffff || directoryAt === 0xffffffff) {
    need(endAt >= 20, 'a damaged ZIP64 directory');
    const locator = readAt(endAt - 20, endAt);
    need(u32(locator, 0) === ZIP64_LOCATOR, 'a damaged ZIP64 directory');
    const recordAt = u64(locator, 8);
    need(recordAt + 56 <= endAt, 'a damaged ZIP64 directory');
    const record = readAt(recordAt, recordAt + 56);
    need(u32(record, 0) === ZIP64_END_RECORD, 'a damaged ZIP64 directory');
    entries = u64(record, 32);
    directoryBytes = u64(record, 40);
    directoryAt = u64(record, 48);
  }
  need(directoryAt + directoryBytes <= endAt, 'a damaged zip directory');
  return { entries, directoryAt, directoryBytes };
}

const utf8 = new TextDecoder('utf-8', { fatal: true });
const CP437_HIGH =
  'ÇüéâäàåçêëèïîìÄÅÉæÆôöòûùÿÖÜ¢£¥₧ƒáíóúñÑªº¿⌐¬½¼¡«»░▒▓│┤╡╢╖╕╣║╗╝╜╛┐└┴┬├─┼╞╟╚╔╩╦╠═╬╧╨╤╥╙╘╒╓╫╪┘┌█▄▌▐▀' +
  'αßΓπΣσµτΦΘΩδ∞φε∩≡±≥≤⌠⌡÷≈°∙·√ⁿ²■\u00a0';

// Names flagged as UTF-8 are UTF-8; others are too when they decode as such
// (most tools write UTF-8 without the flag), else the old DOS code page.
function decodeName(bytes, flaggedUtf8) {
  try {
    return utf8.decode(bytes);
  } catch {
    if (flaggedUtf8) return null;
    return Array.from(bytes, (b) => (b < 0x80 ? String.fromCharCode(b) : CP437_HIGH[b - 0x80])).join('');
  }
}

// The ZIP64 extra field holds, in this order, whichever of the sizes and the
// offset did not fit their 32-bit fields.
function applyZip64(entry, extra) {
  for (let at = 0; at + 4 <= extra.length;) {
    const id = u16(extra, at);
    const length = u16(extra, at + 2);
    const body = extra.subarray(at + 4, at + 4 + length);
    if (id === 0x0001) {
      let field = 0;
      for (const key of ['size', 'compressedSize', 'localAt']) {
        if (entry[key] !== 0xffffffff) continue;
        need(field + 8 <= body.length, 'a damaged ZIP64 entry');
        entry[key] = u64(body, field);
        field += 8;
      }
    }
    at += 4 + length;
  }
}

// Lists the archive's entries: [{name, flags, method, crc, compressedSize,
// size, localAt}], `name` as stored (decoded), in directory order. Throws a
// ZipError saying why when the archive cannot be read or is refused.
// (No default parameters in the worker's code: emscripten's optimizer does
// not see the names they use.)
export function listZip(size, readAt, givenLimits) {
  const limits = givenLimits || ZIP_LIMITS;
  const found = findDirectory(size, readAt);
  const entries = found.entries;
  const directoryAt = found.directoryAt;
  const directoryBytes = found.directoryBytes;
  need(entries <= limits.entries, `it has ${entries} entries; the page opens at most ${limits.entries}`);
  need(directoryBytes <= MOST_DIRECTORY_BYTES, 'its directory is too large');
  need(directoryBytes >= entries * 46, 'a damaged zip directory');
  const directory = readAt(directoryAt, directoryAt + directoryBytes);
  const list = [];
  let claimed = 0;
  for (let at = 0, i = 0; i < entries; ++i) {
    need(at + 46 <= directory.length && u32(directory, at) === DIRECTORY_HEADER, 'a damaged zip directory');
    const nameLength = u16(directory, at + 28);
    const extraLength = u16(directory, at + 30);
    const commentLength = u16(directory, at + 32);
    const end = at + 46 + nameLength + extraLength + commentLength;
    need(end <= directory.length, 'a damaged zip directory');
    const flags = u16(directory, at + 8);
    const entry = {
      name: decodeName(directory.subarray(at + 46, at + 46 + nameLength), (flags & 0x800) !== 0),
      flags,
      method: u16(directory, at + 10),
      crc: u32(directory, at + 16),
      compressedSize: u32(directory, at + 20),
      size: u32(directory, at + 24),
      localAt: u32(directory, at + 42),
    };
    applyZip64(entry, directory.subarray(at + 46 + nameLength, at + 46 + nameLength + extraLength));
    claimed += entry.size;
    need(
      claimed <= limits.totalBytes,
      `its entries claim more than ${limits.totalBytes / 2 ** 30} GiB; the page opens at most that`,
    );
    list.push(entry);
    at = end;
  }
  return list;
}

// The entry's path below the folder the archive stands for, as its parts,
// or null for a name that would land outside it (absolute, a drive, "..")
// or hold a zero byte. Backslashes separate parts as slashes do; empty and
// "." parts are dropped. `directory` is true for a name ending in a
// separator.
export function entryPath(name) {
  if (name === null || name.includes('\0')) return null;
  const unified = name.replace(/\\/g, '/');
  if (unified.startsWith('/') || /^[A-Za-z]:/.test(unified)) return null;
  const parts = unified.split('/').filter((part) => part !== '' && part !== '.');
  if (parts.includes('..')) return null;
  return { parts, directory: unified.endsWith('/') };
}

let crcTable = null;
function crc32(bytes) {
  if (!crcTable) {
    crcTable = new Int32Array(256);
    for (let n = 0; n < 256; ++n) {
      let c = n;
      for (let k = 0; k < 8; ++k) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
      crcTable[n] = c;
    }
  }
  let c = -1;
  for (let i = 0; i < bytes.length; ++i) c = crcTable[(c ^ bytes[i]) & 0xff] ^ (c >>> 8);
  return (c ^ -1) >>> 0;
}

// The entry's bytes, inflated piece by piece into a buffer of the size it
// claims; more or fewer bytes than claimed, a wrong checksum, encryption or
// an unknown method throw a ZipError.
export function readEntry(size, readAt, entry) {
  need((entry.flags & 1) === 0, 'it is encrypted');
  need(entry.method === STORED || entry.method === DEFLATED, `it is packed with method ${entry.method}`);
  need(entry.localAt + 30 <= size, 'a damaged entry');
  const header = readAt(entry.localAt, entry.localAt + 30);
  need(u32(header, 0) === LOCAL_HEADER, 'a damaged entry');
  const dataAt = entry.localAt + 30 + u16(header, 26) + u16(header, 28);
  need(dataAt + entry.compressedSize <= size, 'a damaged entry');
  // Deflate gives at most 1,032 bytes for one, stored data its own size: a
  // larger claim is false, and its buffer is never made.
  const most = entry.method === STORED ? entry.compressedSize : entry.compressedSize * MOST_DEFLATE_RATIO + 1024;
  need(entry.size <= most, 'it claims more than its packed bytes can hold');
  const out = new Uint8Array(entry.size);
  let filled = 0;
  const take = (piece) => {
    need(filled + piece.length <= out.length, 'it holds more than it claims');
    out.set(piece, filled);
    filled += piece.length;
  };
  const inflater = entry.method === DEFLATED ? new Inflate((piece) => take(piece)) : null;
  for (let at = 0; at < entry.compressedSize || (inflater && at === 0);) {
    const end = Math.min(entry.compressedSize, at + PIECE_BYTES);
    const piece = readAt(dataAt + at, dataAt + end);
    try {
      if (inflater) inflater.push(piece, end === entry.compressedSize);
      else take(piece);
    } catch (error) {
      if (error instanceof ZipError) throw error;
      throw new ZipError('damaged packed data');
    }
    at = end;
    if (end === 0) break;
  }
  need(filled === out.length, 'it holds fewer bytes than it claims');
  need(crc32(out) === entry.crc, 'its checksum does not match');
  return out;
}
