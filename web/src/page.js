// The page: takes logs from the pickers or a drop, runs the harvest in a
// worker, shows its progress and printed lines, lists a card per instrument
// and offers the files for download. Nothing here reads the logs itself.
import { decodeVoice } from './voice_draw.js';
import { INPUT_ROOT, compareBytes, displayPath, isLogLine, planHarvest } from './harvest_plan.js';
import { renderCard } from './card.js';
import { droppedItems } from './dropped_items.js';
import { startWorker } from './harvest_worker.js';
import { option } from './dom.js';
import { chipsOf, matchesChip } from './provenance.js';

const $ = (id) => document.getElementById(id);

// Wires the page's controls. `workerSource`: the worker's script as text;
// `preview`: {controls(instrument), onWorkerMessage(message)};
// `saveBlob(bytes, name, type)` and `buildZip(instruments)` make the
// downloads; `banks` (bank_downloads.js) the bank formats' ones. Returns the
// page's state, which the caller may watch.
export function startPage({ workerSource, preview, saveBlob, buildZip, banks }) {
  const state = { worker: null, instruments: [], logsDone: 0, logsTotal: 0, lines: [], finished: false };

  function onWorkerMessage(message) {
    switch (message.type) {
      case 'line':
        addLine(message.text);
        break;
      case 'done':
        state.memoryBytes = message.memoryBytes;
        finish(message.instruments);
        break;
      case 'error':
        showFailure(message.message);
        break;
      case 'preview':
        preview.onWorkerMessage(message);
        break;
      case 'bank':
        banks.onWorkerMessage(message);
        break;
      default:
        // 'ready' and the program's diagnostics need nothing from the page.
        break;
    }
  }

  function harvest(items) {
    const plan = planHarvest(items);
    Object.assign(state, { instruments: [], logsDone: 0, logsTotal: plan.logs, lines: [], finished: false });
    $('log').textContent = '';
    $('results').hidden = true;
    $('cards').textContent = '';
    $('progress-area').hidden = false;
    $('log-area').hidden = false;
    updateProgress();
    if (state.worker) state.worker.terminate();
    state.worker = startWorker(workerSource, onWorkerMessage, showFailure);
    state.worker.postMessage({
      type: 'harvest',
      inputRoot: INPUT_ROOT,
      mounts: plan.mounts,
      arguments: plan.arguments,
    });
  }

  function addLine(text) {
    state.lines.push(text);
    $('log').append(text + '\n');
    if (isLogLine(text)) {
      state.logsDone += 1;
      updateProgress();
    }
  }

  function updateProgress() {
    const total = Math.max(state.logsTotal, state.logsDone);
    $('progress').max = Math.max(1, total);
    $('progress').value = state.logsDone;
    $('progress-text').textContent = state.finished
      ? `${state.logsDone} of ${total} logs read; ${state.instruments.length} instruments.`
      : `${state.logsDone} of ${total} logs read…`;
  }

  function showFailure(text) {
    $('progress-text').textContent = `The harvest stopped: ${text}`;
  }

  function finish(instruments) {
    state.instruments = instruments.map((instrument, group) => {
      const voice = instrument.bytes ? decodeVoice(instrument.bytes) : null;
      return Object.assign(instrument, { group, voice, source: displayPath(instrument.sourcePath) });
    });
    state.finished = true;
    updateProgress();
    fillFilters();
    showCards();
    $('results').hidden = false;
  }

  function fillFilters() {
    const sources = [...new Set(state.instruments.map((i) => i.source))].sort(compareBytes);
    const algorithms = [...new Set(state.instruments.filter((i) => i.voice).map((i) => i.voice.ALG))].sort(
      (a, b) => a - b,
    );
    $('filter-source').replaceChildren(option('', 'all'), ...sources.map((s) => option(s, s)));
    $('filter-alg').replaceChildren(option('', 'all'), ...algorithms.map((a) => option(String(a), String(a))));
    $('filter-chip').replaceChildren(option('', 'all'), ...chipsOf(state.instruments).map((c) => option(c, c)));
  }

  function shownInstruments() {
    const source = $('filter-source').value;
    const alg = $('filter-alg').value;
    const chip = $('filter-chip').value;
    const shown = state.instruments.filter(
      (i) =>
        (source === '' || i.source === source) &&
        (alg === '' || (i.voice && String(i.voice.ALG) === alg)) &&
        matchesChip(i, chip),
    );
    const sort = $('sort').value;
    const byGroup = (a, b) => a.group - b.group;
    const algOf = (i) => (i.voice ? i.voice.ALG : 9);
    if (sort === 'source') shown.sort((a, b) => compareBytes(a.source, b.source) || byGroup(a, b));
    if (sort === 'alg') shown.sort((a, b) => algOf(a) - algOf(b) || byGroup(a, b));
    return shown;
  }

  // A card is drawn once per harvest; sorting and filtering only move the
  // drawn cards (drawing 1,380 of them again took seconds).
  function cardOf(instrument) {
    if (!instrument.card) {
      instrument.card = renderCard(instrument, {
        saveBlob,
        previewControls: preview.controls,
        bankControls: banks.cardControls,
      });
    }
    return instrument.card;
  }

  function showCards() {
    const shown = shownInstruments();
    $('cards').replaceChildren(...shown.map(cardOf));
    $('shown-count').textContent = `${shown.length} of ${state.instruments.length} instruments shown.`;
  }

  function wirePickers() {
    $('file-input').addEventListener('change', (event) => {
      const files = [...event.target.files];
      if (files.length) harvest(files.map((file) => ({ path: file.name, file })));
      event.target.value = '';
    });
    $('folder-input').addEventListener('change', (event) => {
      const files = [...event.target.files];
      if (files.length) harvest(files.map((file) => ({ path: file.webkitRelativePath || file.name, file })));
      event.target.value = '';
    });
  }

  function wireDropZone() {
    // A drop that misses the zone must not make the browser open the file instead.
    for (const type of ['dragover', 'drop']) document.addEventListener(type, (event) => event.preventDefault());
    const zone = $('drop-zone');
    zone.addEventListener('dragover', (event) => {
      event.preventDefault();
      zone.classList.add('over');
    });
    zone.addEventListener('dragleave', () => zone.classList.remove('over'));
    zone.addEventListener('drop', (event) => {
      event.preventDefault();
      zone.classList.remove('over');
      droppedItems(event.dataTransfer).then(
        (items) => {
          if (items.length) harvest(items);
        },
        (e) => showFailure(String(e)),
      );
    });
    zone.addEventListener('keydown', (event) => {
      if (event.key === 'Enter' || event.key === ' ') {
        event.preventDefault();
        $('file-input').click();
      }
    });
  }

  wirePickers();
  wireDropZone();
  for (const id of ['sort', 'filter-source', 'filter-alg', 'filter-chip']) $(id).addEventListener('change', showCards);
  $('download-all').addEventListener('click', () => {
    const format = $('download-format').value;
    if (format === 'vpf') saveBlob(buildZip(state.instruments), 'timbrex-instruments.zip', 'application/zip');
    else banks.download(format, 'timbrex-instruments', state.instruments);
  });
  return state;
}
