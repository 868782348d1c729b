// The worker's side of the bank downloads: the files timbrex-bank would
// write for the given instruments, made by the same code in the module.
//
// From the page:  {type: 'bank', id, format ('wopn', 'opm' or 'dmp'), out, instruments: [{name, bytes}]}
// To the page:    {type: 'bank', id, files: [{path, bytes}]} or {type: 'bank', id, error}
const FORMATS = ['wopn', 'opm', 'dmp'];
const utf8 = new TextDecoder();
const encoder = new TextEncoder();

// Per instrument: its name, a zero byte, its 42 bytes.
function packInstruments(instruments) {
  const names = instruments.map((i) => encoder.encode(i.name));
  const packed = new Uint8Array(names.reduce((n, name) => n + name.length + 1 + 42, 0));
  let at = 0;
  instruments.forEach((instrument, i) => {
    packed.set(names[i], at);
    at += names[i].length + 1;
    packed.set(instrument.bytes, at);
    at += 42;
  });
  return packed;
}

// Per file: its path, a zero byte, its size (4 bytes, little-endian), its bytes.
function unpackFiles(bytes) {
  const files = [];
  let at = 0;
  while (at < bytes.length) {
    const end = bytes.indexOf(0, at);
    const path = utf8.decode(bytes.subarray(at, end));
    const size = (bytes[end + 1] | (bytes[end + 2] << 8) | (bytes[end + 3] << 16) | (bytes[end + 4] << 24)) >>> 0;
    files.push({ path, bytes: bytes.slice(end + 5, end + 5 + size) });
    at = end + 5 + size;
  }
  return files;
}

// `runtime`: the emscripten module's exports (see main.js).
export function bankFiles(runtime, message, post) {
  const reply = { type: 'bank', id: message.id };
  const format = FORMATS.indexOf(message.format);
  if (format < 0 || message.instruments.some((i) => !i.bytes || i.bytes.length !== 42)) {
    post(Object.assign(reply, { error: 'not a bank of 42-byte voice patches' }));
    return;
  }
  const packed = packInstruments(message.instruments);
  const out = encoder.encode(message.out);
  const outAt = runtime.malloc(out.length + 1);
  const packedAt = runtime.malloc(packed.length + 1);
  const lengthAt = runtime.malloc(4);
  runtime.heapU8().set(out, outAt);
  runtime.heapU8()[outAt + out.length] = 0;
  runtime.heapU8().set(packed, packedAt);
  const resultAt = runtime.bankFiles(format, outAt, packedAt, packed.length, lengthAt);
  const resultLength = runtime.heap32()[lengthAt >> 2];
  runtime.free(outAt);
  runtime.free(packedAt);
  runtime.free(lengthAt);
  if (!resultAt) {
    post(Object.assign(reply, { error: 'the bank could not be made' }));
    return;
  }
  const files = unpackFiles(runtime.heapU8().slice(resultAt, resultAt + resultLength));
  runtime.free(resultAt);
  post(Object.assign(reply, { files }));
}
