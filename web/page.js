// The page: takes logs from the pickers or a drop, runs the harvest in a
// worker, shows its progress and printed lines, draws a card per instrument
// and offers the files for download. Nothing here reads the logs itself.
(function () {
  'use strict';
  const Draw = window.TimbrexDraw;
  const Plan = window.TimbrexPlan;
  const $ = (id) => document.getElementById(id);
  // Zip entries get one fixed time, so the same harvest gives the same zip.
  const ZIP_TIME = new Date(2000, 0, 1);

  const state = { worker: null, instruments: [], logsDone: 0, logsTotal: 0, lines: [], finished: false };
  window.timbrexPage = state;

  // The worker's script is embedded as text: a page opened from file:// may
  // not start a worker from a file, but it may from a Blob.
  function startWorker() {
    if (state.worker) state.worker.terminate();
    const url = URL.createObjectURL(new Blob([window.timbrexWorkerSource], { type: 'text/javascript' }));
    const worker = new Worker(url);
    URL.revokeObjectURL(url);
    worker.onmessage = (event) => onWorkerMessage(event.data);
    worker.onerror = (event) => showFailure(event.message || 'the harvest stopped');
    state.worker = worker;
    return worker;
  }

  function onWorkerMessage(message) {
    switch (message.type) {
      case 'ready':
        break;
      case 'line':
        addLine(message.text);
        break;
      case 'diagnostic':
        break;
      case 'done':
        state.memoryBytes = message.memoryBytes;
        finish(message.instruments);
        break;
      case 'error':
        showFailure(message.message);
        break;
      case 'preview':
        window.TimbrexPreview.onWorkerMessage(message);
        break;
      default:
        break;
    }
  }

  function harvest(items) {
    const plan = Plan.planHarvest(items);
    Object.assign(state, { instruments: [], logsDone: 0, logsTotal: plan.logs, lines: [], finished: false });
    $('log').textContent = '';
    $('results').hidden = true;
    $('cards').textContent = '';
    $('progress-area').hidden = false;
    $('log-area').hidden = false;
    updateProgress();
    startWorker().postMessage({ type: 'harvest', inputRoot: Plan.INPUT_ROOT, mounts: plan.mounts, arguments: plan.arguments });
  }

  function addLine(text) {
    state.lines.push(text);
    $('log').append(text + '\n');
    if (Plan.isLogLine(text)) {
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
      const voice = instrument.bytes ? Draw.decodeVoice(instrument.bytes) : null;
      return Object.assign(instrument, { group, voice, source: Plan.displayPath(instrument.sourcePath) });
    });
    state.finished = true;
    updateProgress();
    fillFilters();
    showCards();
    $('results').hidden = false;
  }

  function option(value, text) {
    const element = document.createElement('option');
    element.value = value;
    element.textContent = text;
    return element;
  }

  function fillFilters() {
    const sources = [...new Set(state.instruments.map((i) => i.source))].sort(Plan.compareBytes);
    const algorithms = [...new Set(state.instruments.filter((i) => i.voice).map((i) => i.voice.ALG))].sort((a, b) => a - b);
    $('filter-source').replaceChildren(option('', 'all'), ...sources.map((s) => option(s, s)));
    $('filter-alg').replaceChildren(option('', 'all'), ...algorithms.map((a) => option(String(a), String(a))));
  }

  function shownInstruments() {
    const source = $('filter-source').value;
    const alg = $('filter-alg').value;
    const shown = state.instruments.filter((i) =>
      (source === '' || i.source === source) && (alg === '' || (i.voice && String(i.voice.ALG) === alg)));
    const sort = $('sort').value;
    const byGroup = (a, b) => a.group - b.group;
    if (sort === 'source') shown.sort((a, b) => Plan.compareBytes(a.source, b.source) || byGroup(a, b));
    if (sort === 'alg') shown.sort((a, b) => ((a.voice ? a.voice.ALG : 9) - (b.voice ? b.voice.ALG : 9)) || byGroup(a, b));
    return shown;
  }

  // A card is drawn once per harvest; sorting and filtering only move the
  // drawn cards (drawing 1,380 of them again took seconds).
  function cardOf(instrument) {
    if (!instrument.card) instrument.card = renderCard(instrument);
    return instrument.card;
  }

  function showCards() {
    const shown = shownInstruments();
    $('cards').replaceChildren(...shown.map(cardOf));
    $('shown-count').textContent = `${shown.length} of ${state.instruments.length} instruments shown.`;
  }

  function element(tag, className, text) {
    const e = document.createElement(tag);
    if (className) e.className = className;
    if (text !== undefined) e.textContent = text;
    return e;
  }

  function parameterTable(voice) {
    const table = element('table');
    table.append(element('caption', 'visually-hidden', 'Parameters per operator'));
    const head = element('tr');
    head.append(element('th', '', 'Op'), ...Draw.FIELDS.map((f) => element('th', '', f)));
    table.append(head);
    for (const op of voice.operators) {
      const row = element('tr');
      const name = element('th', `op${op.number}`, String(op.number));
      name.scope = 'row';
      row.append(name, ...Draw.FIELDS.map((f) => element('td', '', String(op[f]))));
      table.append(row);
    }
    return table;
  }

  // One instrument's card. Everything a card shows is built here.
  function renderCard(instrument) {
    const card = element('li', 'card');
    card.dataset.file = instrument.fileName;
    card.dataset.source = instrument.source;
    const title = element('h3', '', instrument.fileName);
    title.id = `card-${instrument.group}`;
    card.setAttribute('aria-labelledby', title.id);
    card.append(title, element('p', 'source', `from ${instrument.source}`));
    if (!instrument.voice) {
      card.append(element('p', 'unsaved', 'This file could not be saved (see the printed lines).'));
      return card;
    }
    const voice = instrument.voice;
    card.dataset.alg = String(voice.ALG);
    card.append(element('p', 'summary', `Algorithm ${voice.ALG}, feedback ${voice.FB}`));
    const drawings = element('div', 'drawings');
    const algorithm = element('div', 'algorithm-box');
    algorithm.innerHTML = Draw.algorithmSvg(voice.ALG, voice.FB);
    const envelope = element('div', 'envelope-box');
    const legend = element('div', 'legend');
    for (const n of [1, 2, 3, 4]) legend.append(element('span', `op${n}`, `— op ${n}`));
    envelope.innerHTML = Draw.envelopeSvg(voice);
    envelope.prepend(legend);
    drawings.append(algorithm, envelope);
    card.append(drawings, parameterTable(voice), element('p', 'hex', Draw.hexBytes(instrument.bytes)));
    const actions = element('div', 'actions');
    const download = element('button', '', 'Download .vpf');
    download.type = 'button';
    download.setAttribute('aria-label', `Download ${instrument.fileName}`);
    download.addEventListener('click', () => saveBlob(instrument.bytes, instrument.fileName, 'application/octet-stream'));
    actions.append(download);
    card.append(actions, window.TimbrexPreview.controls(instrument));
    return card;
  }

  state.saveBlob = (bytes, name, type) => saveBlob(bytes, name, type);

  function saveBlob(bytes, name, type) {
    const url = URL.createObjectURL(new Blob([bytes], { type }));
    const link = document.createElement('a');
    link.href = url;
    link.download = name;
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(url), 10000);
  }

  // The saved .vpf files under the names the command line gives them.
  function buildZip() {
    const entries = {};
    for (const instrument of state.instruments) {
      if (instrument.bytes) entries[instrument.fileName] = [instrument.bytes, { level: 0, mtime: ZIP_TIME }];
    }
    return window.fflate.zipSync(entries, { mtime: ZIP_TIME });
  }
  state.buildZip = buildZip;

  // A dropped folder is read through the entries API; every file keeps its
  // path below the dropped item. A file dropped by itself is taken from the
  // drop's file list, which needs no further read access.
  async function droppedItems(dataTransfer) {
    const loose = [...dataTransfer.files];
    const entries = [...dataTransfer.items].map((item) => item.webkitGetAsEntry && item.webkitGetAsEntry()).filter(Boolean);
    if (entries.length === 0) return loose.map((file) => ({ path: file.name, file }));
    const items = [];
    const readAll = (reader) => new Promise((resolve, reject) => {
      const all = [];
      const next = () => reader.readEntries((batch) => {
        if (batch.length === 0) resolve(all);
        else { all.push(...batch); next(); }
      }, reject);
      next();
    });
    const visit = async (entry, topLevel) => {
      if (entry.isFile) {
        const at = topLevel ? loose.findIndex((file) => file.name === entry.name) : -1;
        const file = at >= 0 ? loose.splice(at, 1)[0] : await new Promise((resolve, reject) => entry.file(resolve, reject));
        items.push({ path: entry.fullPath.replace(/^\//, ''), file });
      } else if (entry.isDirectory) {
        for (const child of await readAll(entry.createReader())) await visit(child, false);
      }
    };
    for (const entry of entries) await visit(entry, true);
    return items;
  }

  function wire() {
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
    // A drop that misses the zone must not make the browser open the file instead.
    for (const type of ['dragover', 'drop']) document.addEventListener(type, (event) => event.preventDefault());
    const zone = $('drop-zone');
    zone.addEventListener('dragover', (event) => { event.preventDefault(); zone.classList.add('over'); });
    zone.addEventListener('dragleave', () => zone.classList.remove('over'));
    zone.addEventListener('drop', (event) => {
      event.preventDefault();
      zone.classList.remove('over');
      droppedItems(event.dataTransfer).then((items) => { if (items.length) harvest(items); }, (e) => showFailure(String(e)));
    });
    zone.addEventListener('keydown', (event) => {
      if (event.key === 'Enter' || event.key === ' ') { event.preventDefault(); $('file-input').click(); }
    });
    for (const id of ['sort', 'filter-source', 'filter-alg']) $(id).addEventListener('change', showCards);
    $('download-all').addEventListener('click', () => saveBlob(buildZip(), 'timbrex-instruments.zip', 'application/zip'));
  }

  wire();
})();
