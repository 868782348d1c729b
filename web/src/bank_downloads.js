// The instruments as banks for trackers and bank editors: one WOPN bank, one
// OPM bank (a zip when more than 128 voices need several files) or DMP
// presets (a zip), for all instruments or for one card's. The worker makes
// the files with timbrex-bank's own code, so the bytes are those it writes
// for the same instruments in the same order.
import { button } from './dom.js';

export const BANK_FORMATS = ['wopn', 'opm', 'dmp'];
const LABELS = { wopn: 'WOPN', opm: 'OPM', dmp: 'DMP' };

// The saved instruments in their order, each named as timbrex-bank names a
// patch: its file's name without ".vpf".
export function bankInstruments(instruments) {
  return instruments.filter((i) => i.bytes).map((i) => ({ name: i.fileName.replace(/\.vpf$/i, ''), bytes: i.bytes }));
}

// What the user gets for the worker's `files`: a lone file as it is, several
// in one zip named `stem`-FORMAT.zip.
export function downloadOf(format, stem, files, buildZip) {
  if (files.length === 1) {
    const path = files[0].path;
    return { bytes: files[0].bytes, name: path.slice(path.lastIndexOf('/') + 1), type: 'application/octet-stream' };
  }
  const entries = files.map((f) => ({ fileName: f.path, bytes: f.bytes }));
  return { bytes: buildZip(entries), name: `${stem}-${format}.zip`, type: 'application/zip' };
}

// `currentWorker()`: the worker of the harvest shown; `saveBlob(bytes, name,
// type)` and `buildZip(entries)` as in downloads.js; `onFailure(text)` says
// why a bank could not be made.
export function createBankDownloads({ currentWorker, saveBlob, buildZip, onFailure }) {
  let nextId = 1;
  const waiting = new Map();

  function requestFiles(format, out, instruments) {
    return new Promise((resolve, reject) => {
      const id = nextId++;
      waiting.set(id, { resolve, reject });
      currentWorker().postMessage({ type: 'bank', id, format, out, instruments });
    });
  }

  function onWorkerMessage(message) {
    const request = waiting.get(message.id);
    if (!request) return;
    waiting.delete(message.id);
    if (message.error) request.reject(new Error(message.error));
    else request.resolve(message.files);
  }

  // The download for `instruments` in `format`, named after `stem` as
  // timbrex-bank names its OUT: stem.wopn, stem.opm (stem-2.opm ...), or the
  // folder stem with one .dmp each.
  async function bankDownload(format, stem, instruments) {
    const out = format === 'dmp' ? stem : `${stem}.${format}`;
    const files = await requestFiles(format, out, bankInstruments(instruments));
    return downloadOf(format, stem, files, buildZip);
  }

  function download(format, stem, instruments) {
    return bankDownload(format, stem, instruments).then(
      (file) => saveBlob(file.bytes, file.name, file.type),
      (error) => onFailure(String(error.message || error)),
    );
  }

  // One card's buttons: its instrument in each format.
  function cardControls(instrument) {
    const name = instrument.fileName.replace(/\.vpf$/i, '');
    return BANK_FORMATS.map((format) => {
      const b = button('', `Download ${LABELS[format]}`);
      b.setAttribute('aria-label', `Download ${name} as ${LABELS[format]}`);
      b.addEventListener('click', () => download(format, name, [instrument]));
      return b;
    });
  }

  return { download, bankDownload, cardControls, onWorkerMessage };
}
