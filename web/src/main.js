// The page's entry: puts the modules together. esbuild bundles this file and
// everything it imports into the one classic script the page loads.
import workerSource from 'timbrex-worker-source';
import { algorithmSvg, envelopeSvg } from './voice_draw.js';
import { buildZip, saveBlob } from './downloads.js';
import { createPreview } from './preview_ui.js';
import { startPage } from './page.js';
import { createBankDownloads } from './bank_downloads.js';

// The browser tests watch the page through this one name: the page's state,
// the preview's renders, the drawings to check in a real DOM, and the
// download, which a test may replace to catch the saved bytes.
const testHooks = { saveBlob };
const save = (bytes, name, type) => testHooks.saveBlob(bytes, name, type);
const preview = createPreview({ currentWorker: () => state.worker, saveBlob: save });
const banks = createBankDownloads({
  currentWorker: () => state.worker,
  saveBlob: save,
  buildZip,
  onFailure: (text) => {
    document.getElementById('progress-text').textContent = `The bank could not be made: ${text}`;
  },
});
const state = startPage({ workerSource, preview, saveBlob: save, buildZip, banks });
window.timbrexPage = Object.assign(testHooks, {
  state,
  preview: preview.engine,
  draw: { algorithmSvg, envelopeSvg },
  buildZip: () => buildZip(state.instruments),
  bankDownload: (format) => banks.bankDownload(format, 'timbrex-instruments', state.instruments),
});
