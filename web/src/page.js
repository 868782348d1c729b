// The page: takes logs from the pickers or a drop, runs the harvest in a
// worker, shows its progress and printed lines, lists the instruments (a
// compact list or cards) and offers the files for download. Nothing here
// reads the logs itself.
import { decodeVoice } from './voice_draw.js';
import { INPUT_ROOT, displayPath, isLogLine, planHarvest } from './harvest_plan.js';
import { count, searchText, shownInstruments, sourceRanks } from './instrument_view.js';
import { createCardsView, createListView } from './instrument_lists.js';
import { cardShell, fillCard, renderCard } from './card.js';
import { droppedItems } from './dropped_items.js';
import { canPickFiles, canPickFolder, folderItems, pickFiles, pickFolder } from './picked_items.js';
import { startWorker } from './harvest_worker.js';
import { option } from './dom.js';
import { chipsOf } from './provenance.js';
import { inSlices, nextTask } from './slices.js';

const $ = (id) => document.getElementById(id);

// Wires the page's controls. `workerSource`: the worker's script as text;
// `preview`: {controls(instrument), onWorkerMessage(message)};
// `saveBlob(bytes, name, type)` and `buildZip(instruments)` make the
// downloads; `banks` (bank_downloads.js) the bank formats' ones. Returns
// the page's state, which the caller may watch: `shown`
// is the array of instruments the views show, in their order; `finished`
// turns true when the harvest is over and its first screen drawn.
export function startPage({ workerSource, preview, saveBlob, buildZip, banks }) {
  const state = {
    worker: null,
    instruments: [],
    shown: [],
    logsDone: 0,
    logsTotal: 0,
    lines: [],
    harvested: false,
    listed: false,
    finished: false,
    cancelled: false,
    view: 'cards',
    descending: false,
  };
  const cardOptions = { saveBlob, previewControls: preview.controls, bankControls: banks.cardControls };
  const cards = createCardsView({
    shell: (instrument) => cardShell(instrument),
    fill: (card, instrument) => fillCard(card, instrument, cardOptions),
    onDrawn: () => onScreen(),
  });
  const list = createListView({ onOpen: openCard, onSort: sortByColumn });
  // Each harvest's number: the slices of an older one stop when it changes.
  let run = 0;
  // The printed lines not yet on the page: they come one message each and
  // reach the page once a frame.
  let unshownLines = [];

  function onWorkerMessage(message) {
    switch (message.type) {
      case 'line':
        addLine(message.text);
        break;
      case 'logs':
        // The worker's count, with the logs inside zips.
        state.logsTotal = message.total;
        updateProgress();
        break;
      case 'done':
        state.memoryBytes = message.memoryBytes;
        finish(message.instruments).catch((error) => showFailure(String(error)));
        break;
      case 'error':
        showFailure(message.message);
        break;
      case 'preview':
      case 'song':
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

  // A worker that harvests and renders the previews; a new one after a cancel.
  function freshWorker() {
    if (state.worker) state.worker.terminate();
    state.worker = startWorker(workerSource, onWorkerMessage, showFailure);
  }

  // Clears the page for a new harvest, shows its progress at `stage` and
  // starts its worker. Returns a test of whether that harvest is still the
  // page's own (not cancelled, not replaced by a later pick or drop).
  function beginRun(stage) {
    const thisRun = ++run;
    unshownLines = [];
    Object.assign(state, {
      instruments: [],
      shown: [],
      logsDone: 0,
      logsTotal: 0,
      lines: [],
      harvested: false,
      listed: false,
      finished: false,
      cancelled: false,
    });
    $('log').textContent = '';
    $('results').hidden = true;
    $('skip-to-results').hidden = true;
    cards.clear();
    list.clear();
    $('progress-area').hidden = false;
    $('log-area').hidden = false;
    $('cancel').hidden = false;
    setStage(stage);
    updateProgress();
    freshWorker();
    return () => run === thisRun && !state.cancelled;
  }

  // `current`: the harvest's test from beginRun, when it began with the
  // listing of a picked folder.
  async function harvest(items, current = beginRun('Reading logs')) {
    const plan = planHarvest(items);
    state.logsTotal = plan.logs;
    setStage('Reading logs');
    updateProgress();
    // The browser tells a picked file's size and date when the file is first
    // read or sent, about a millisecond a file: asked for here in slices, so
    // that the files then go to the worker in one short message.
    if (!(await inSlices(plan.mounts, (mount) => mount.file && mount.file.size, { isCurrent: current }))) return;
    state.worker.postMessage({
      type: 'harvest',
      inputRoot: INPUT_ROOT,
      mounts: plan.mounts,
      arguments: plan.arguments,
    });
  }

  // A folder from the folder picker: listed (its count shown as it grows),
  // then harvested, unless cancelled or replaced on the way.
  async function harvestFolder(directory) {
    const current = beginRun('Listing the folder');
    const found = (files) => {
      $('progress-text').textContent = `${count(files, 'file')} found…`;
    };
    found(0);
    let items;
    try {
      items = await folderItems(directory, { isCurrent: current, onFound: found });
    } catch (error) {
      // A file of a listing already replaced failing is no news.
      if (current()) showFailure(String(error));
      return;
    }
    if (!items || !current()) return;
    if (items.length) {
      harvest(items, current);
      return;
    }
    $('cancel').hidden = true;
    setStage('Nothing to read');
    $('progress-text').textContent = `The folder ${directory.name} holds no files.`;
  }

  function cancel() {
    if (state.harvested || state.cancelled) return;
    state.cancelled = true;
    freshWorker();
    $('cancel').hidden = true;
    setStage('Cancelled');
    $('progress-text').textContent =
      `Cancelled after ${state.logsDone} of ${count(Math.max(state.logsTotal, state.logsDone), 'log')}; ` +
      'nothing was kept. Pick or drop logs to start again.';
    $('drop-zone').focus();
  }

  function setStage(text) {
    $('progress-label').textContent = text;
  }

  function addLine(text) {
    state.lines.push(text);
    if (isLogLine(text)) state.logsDone += 1;
    if (unshownLines.push(text) === 1) requestAnimationFrame(showLines);
  }

  function showLines() {
    if (unshownLines.length === 0) return;
    $('log').append(unshownLines.join('\n') + '\n');
    unshownLines = [];
    updateProgress();
  }

  function updateProgress() {
    const total = Math.max(state.logsTotal, state.logsDone);
    $('progress').max = Math.max(1, total);
    $('progress').value = state.logsDone;
    $('progress-text').textContent = state.harvested
      ? `${state.logsDone} of ${total} logs read; ${count(state.instruments.length, 'instrument')}.`
      : `${state.logsDone} of ${total} logs read…`;
  }

  function showFailure(text) {
    if (state.cancelled) return;
    showLines();
    $('progress-area').hidden = false;
    $('cancel').hidden = true;
    setStage('Stopped');
    $('progress-text').textContent = `The harvest stopped: ${text}`;
  }

  // Each instrument's voice decoded and its texts made once, in slices (about
  // 20 ms for 1,380 in one piece); then the first screen, and in the tasks
  // after it the sort order of the sources and the filters' lists.
  async function finish(instruments) {
    showLines();
    const thisRun = run;
    const current = () => run === thisRun;
    state.harvested = true;
    $('cancel').hidden = true;
    setStage('Finished');
    let group = 0;
    const prepare = (instrument) => {
      instrument.group = group++;
      instrument.voice = instrument.bytes ? decodeVoice(instrument.bytes) : null;
      instrument.source = displayPath(instrument.sourcePath);
      instrument.searchText = searchText(instrument);
    };
    if (!(await inSlices(instruments, prepare, { isCurrent: current }))) return;
    state.instruments = instruments;
    $('results').hidden = false;
    $('skip-to-results').hidden = false;
    showInstruments();
    updateProgress();
    await nextTask();
    if (!current()) return;
    sourceRanks(state.instruments);
    await nextTask();
    if (!current()) return;
    fillFilters();
    state.listed = true;
    // Nothing to draw in view (the list, or cards below the fold): on screen now.
    if (!document.querySelector('#cards .card.pending')) onScreen();
  }

  // The results are on screen (in the cards view, the first screen's cards drawn).
  function onScreen() {
    if (!state.listed || state.finished) return;
    state.finished = true;
    updateProgress();
  }

  function fillFilters() {
    // In byte order, as the sort by source orders them.
    const sources = [...sourceRanks(state.instruments).keys()];
    const algorithms = [...new Set(state.instruments.filter((i) => i.voice).map((i) => i.voice.ALG))].sort(
      (a, b) => a - b,
    );
    $('filter-source').replaceChildren(option('', 'all'), ...sources.map((s) => option(s, s)));
    $('filter-alg').replaceChildren(option('', 'all'), ...algorithms.map((a) => option(String(a), String(a))));
    $('filter-chip').replaceChildren(option('', 'all'), ...chipsOf(state.instruments).map((c) => option(c, c)));
  }

  function currentView() {
    return {
      text: $('filter-text').value,
      source: $('filter-source').value,
      alg: $('filter-alg').value,
      chip: $('filter-chip').value,
      sort: $('sort').value,
      descending: state.descending,
    };
  }

  // Shows the instruments the filters let through, in the chosen order, in
  // the chosen view; the other view is emptied.
  function showInstruments() {
    const view = currentView();
    state.shown = shownInstruments(state.instruments, view);
    const total = state.instruments.length;
    $('shown-count').textContent = `${state.shown.length} of ${count(total, 'instrument')} shown.`;
    const listed = state.view === 'list';
    $('list-view').hidden = !listed;
    $('cards').hidden = listed;
    list.markSort(view.sort, view.descending);
    // A new selection starts at its top, not where the last one was scrolled to.
    const top = $(listed ? 'list-view' : 'cards').getBoundingClientRect().top;
    if (top < 0) window.scrollBy(0, top - 8);
    (listed ? cards : list).clear();
    (listed ? list : cards).show(state.shown);
  }

  // A column header: its order, or the same order the other way round.
  function sortByColumn(key) {
    state.descending = $('sort').value === key ? !state.descending : false;
    $('sort').value = key;
    showInstruments();
  }

  // A row's card, in a dialog over the list; closing it returns to the row.
  function openCard(instrument) {
    const body = $('card-dialog-body');
    body.replaceChildren(renderCard(instrument, Object.assign({ idPrefix: 'dialog-card' }, cardOptions)));
    $('card-dialog').setAttribute('aria-label', instrument.fileName);
    $('card-dialog').showModal();
    $('card-dialog-close').focus();
  }

  function wireResults() {
    for (const id of ['filter-source', 'filter-alg', 'filter-chip']) $(id).addEventListener('change', showInstruments);
    $('sort').addEventListener('change', () => {
      state.descending = false;
      showInstruments();
    });
    $('filter-text').addEventListener('input', showInstruments);
    for (const radio of document.querySelectorAll('input[name="view"]')) {
      radio.addEventListener('change', () => {
        state.view = radio.value;
        showInstruments();
      });
    }
    $('card-dialog-close').addEventListener('click', () => $('card-dialog').close());
    $('card-dialog').addEventListener('close', () => $('card-dialog-body').replaceChildren());
    $('download-all').addEventListener('click', () => {
      const format = $('download-format').value;
      if (format === 'vpf') saveBlob(buildZip(state.instruments), 'timbrex-instruments.zip', 'application/zip');
      else banks.download(format, 'timbrex-instruments', state.instruments);
    });
    // Skip links move the focus too, so the next Tab goes on from there.
    for (const link of document.querySelectorAll('a.skip-link')) {
      link.addEventListener('click', (event) => {
        const target = $(link.getAttribute('href').slice(1));
        if (!target) return;
        event.preventDefault();
        target.focus();
        target.scrollIntoView({ block: 'center' });
      });
    }
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
    // Where the browser has the File System Access pickers, the inputs'
    // clicks (their labels' and the drop zone's too) open those instead.
    $('file-input').addEventListener('click', (event) => {
      if (!canPickFiles(window)) return;
      event.preventDefault();
      pickFiles(window).then(
        (items) => {
          if (items.length) harvest(items);
        },
        (error) => showFailure(String(error)),
      );
    });
    $('folder-input').addEventListener('click', (event) => {
      if (!canPickFolder(window)) return;
      event.preventDefault();
      pickFolder(window)
        .then((directory) => directory && harvestFolder(directory))
        .catch((error) => showFailure(String(error)));
    });
    $('cancel').addEventListener('click', cancel);
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
    zone.addEventListener('click', () => $('file-input').click());
  }

  wirePickers();
  wireDropZone();
  wireResults();
  return state;
}
