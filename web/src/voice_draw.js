// What a card draws, as pure functions of a voice's 42 bytes: the decoded
// fields, the algorithm's diagram and the operators' envelopes, each as SVG
// text built from numbers alone, for the page and node's unit tests alike.

export const VOICE_BYTES = 42;
export const FIELDS = ['MUL', 'DT', 'TL', 'RS', 'AR', 'DR', 'SR', 'RR', 'SL', 'SSG'];
// The file's operator blocks are in register slot order, which the chip
// manuals number 1, 3, 2, 4.
const SLOT_OPERATOR = [1, 3, 2, 4];

// Decodes a .vpf file. Operators come back indexed by their number - 1;
// DT is signed (-3 to +3), as the byte stores DT + 3.
export function decodeVoice(bytes) {
  if (!bytes || bytes.length !== VOICE_BYTES) throw new Error('a voice patch is 42 bytes');
  const operators = [];
  for (let slot = 0; slot < 4; ++slot) {
    const block = 2 + slot * FIELDS.length;
    const op = { number: SLOT_OPERATOR[slot], slot };
    FIELDS.forEach((field, i) => {
      op[field] = bytes[block + i];
    });
    op.DT -= 3;
    operators[SLOT_OPERATOR[slot] - 1] = op;
  }
  return { ALG: bytes[0], FB: bytes[1], operators };
}

// The eight connections of the OPN family, operators numbered as the chip
// manuals number them; operator 1 alone has the feedback input. `grid` is
// each operator's column and row in the drawing.
export const ALGORITHMS = [
  {
    edges: [
      [1, 2],
      [2, 3],
      [3, 4],
    ],
    carriers: [4],
    grid: { 1: [0, 0], 2: [1, 0], 3: [2, 0], 4: [3, 0] },
  },
  {
    edges: [
      [1, 3],
      [2, 3],
      [3, 4],
    ],
    carriers: [4],
    grid: { 1: [0, 0], 2: [0, 1], 3: [1, 0.5], 4: [2, 0.5] },
  },
  {
    edges: [
      [1, 4],
      [2, 3],
      [3, 4],
    ],
    carriers: [4],
    grid: { 1: [1, 0], 2: [0, 1], 3: [1, 1], 4: [2, 0.5] },
  },
  {
    edges: [
      [1, 2],
      [2, 4],
      [3, 4],
    ],
    carriers: [4],
    grid: { 1: [0, 0], 2: [1, 0], 3: [1, 1], 4: [2, 0.5] },
  },
  {
    edges: [
      [1, 2],
      [3, 4],
    ],
    carriers: [2, 4],
    grid: { 1: [0, 0], 2: [1, 0], 3: [0, 1], 4: [1, 1] },
  },
  {
    edges: [
      [1, 2],
      [1, 3],
      [1, 4],
    ],
    carriers: [2, 3, 4],
    grid: { 1: [0, 1], 2: [1, 0], 3: [1, 1], 4: [1, 2] },
  },
  { edges: [[1, 2]], carriers: [2, 3, 4], grid: { 1: [0, 0], 2: [1, 0], 3: [1, 1], 4: [1, 2] } },
  { edges: [], carriers: [1, 2, 3, 4], grid: { 1: [0, 0], 2: [0, 1], 3: [0, 2], 4: [0, 3] } },
];

const BOX_W = 34;
const BOX_H = 22;
const COL = 58;
const ROW = 32;
const MARGIN = 14;

// Positions of the boxes, the modulation lines and the carriers' lines to
// the output, in SVG units.
export function algorithmLayout(alg) {
  const algorithm = ALGORITHMS[alg & 7];
  const columns = Math.max(...Object.values(algorithm.grid).map(([c]) => c)) + 1;
  const rows = Math.max(...Object.values(algorithm.grid).map(([, r]) => r)) + 1;
  const boxes = [1, 2, 3, 4].map((op) => {
    const [c, r] = algorithm.grid[op];
    return { op, x: MARGIN + c * COL, y: MARGIN + 8 + r * ROW, carrier: algorithm.carriers.includes(op) };
  });
  const at = (op) => boxes[op - 1];
  const outX = MARGIN + columns * COL + 6;
  const outY = MARGIN + 8 + ((rows - 1) * ROW) / 2 + BOX_H / 2;
  const edges = algorithm.edges.map(([from, to]) => ({
    from,
    to,
    x1: at(from).x + BOX_W,
    y1: at(from).y + BOX_H / 2,
    x2: at(to).x,
    y2: at(to).y + BOX_H / 2,
  }));
  const outputs = algorithm.carriers.map((op) => ({
    op,
    x1: at(op).x + BOX_W,
    y1: at(op).y + BOX_H / 2,
    x2: outX,
    y2: outY,
  }));
  return { boxes, edges, outputs, width: outX + 30, height: MARGIN * 2 + 8 + (rows - 1) * ROW + BOX_H, outX, outY };
}

function line(x1, y1, x2, y2, attributes) {
  return `<line x1="${x1}" y1="${y1}" x2="${x2}" y2="${y2}" ${attributes}/>`;
}

// An arrowhead with its tip at (x, y), pointing along (dx, dy). Drawn as a
// path of its own rather than an SVG marker: a marker needs an id, and a
// page of diagrams would repeat it.
function arrowhead(x, y, dx, dy) {
  const length = Math.hypot(dx, dy) || 1;
  const [ux, uy] = [dx / length, dy / length];
  const round = (v) => Math.round(v * 100) / 100;
  const back = [x - 5 * ux, y - 5 * uy];
  const corner = (side) => `${round(back[0] - side * 2.5 * uy)} ${round(back[1] + side * 2.5 * ux)}`;
  return `<path class="arrowhead" d="M${round(x)} ${round(y)}L${corner(1)}L${corner(-1)}z"/>`;
}

// The diagram as SVG text: one <g data-op> box per operator (data-carrier
// on the carriers), one <line data-from data-to> per modulation, one
// <line data-output> from each carrier, and the feedback loop on operator 1.
export function algorithmSvg(alg, fb) {
  const layout = algorithmLayout(alg);
  const parts = [];
  const one = layout.boxes[0];
  const loopTop = one.y - 9;
  parts.push(
    `<path class="feedback" data-feedback="${fb}" d="M${one.x + BOX_W} ${one.y + BOX_H / 2} h5 V${loopTop} ` +
      `H${one.x - 5} V${one.y + BOX_H / 2} h4" fill="none"/>`,
    arrowhead(one.x, one.y + BOX_H / 2, 1, 0),
  );
  parts.push(`<text class="fb-label" x="${one.x + BOX_W / 2}" y="${loopTop - 3}" text-anchor="middle">FB ${fb}</text>`);
  for (const e of layout.edges) {
    parts.push(
      line(e.x1, e.y1, e.x2 - 4, e.y2, `class="mod" data-from="${e.from}" data-to="${e.to}"`),
      arrowhead(e.x2, e.y2, e.x2 - e.x1, e.y2 - e.y1),
    );
  }
  for (const o of layout.outputs) {
    parts.push(line(o.x1, o.y1, o.x2, o.y2, `class="out" data-output="${o.op}"`));
  }
  for (const b of layout.boxes) {
    parts.push(
      `<g data-op="${b.op}"${b.carrier ? ' data-carrier="true"' : ''}>` +
        `<rect x="${b.x}" y="${b.y}" width="${BOX_W}" height="${BOX_H}" rx="4" class="${b.carrier ? 'carrier' : 'modulator'}"/>` +
        `<text x="${b.x + BOX_W / 2}" y="${b.y + BOX_H / 2 + 4}" text-anchor="middle">${b.op}</text></g>`,
    );
  }
  parts.push(`<circle cx="${layout.outX}" cy="${layout.outY}" r="3" class="sum"/>`);
  parts.push(
    line(layout.outX, layout.outY, layout.outX + 16, layout.outY, 'class="out"'),
    arrowhead(layout.outX + 20, layout.outY, 1, 0),
  );
  const carriers = ALGORITHMS[alg & 7].carriers.join(', ');
  return (
    `<svg xmlns="http://www.w3.org/2000/svg" class="algorithm" data-alg="${alg & 7}" role="img" ` +
    `viewBox="0 0 ${layout.width} ${layout.height}" width="${layout.width}" height="${layout.height}">` +
    `<title>Algorithm ${alg & 7}: carriers ${carriers}; feedback ${fb} on operator 1</title>` +
    parts.join('') +
    '</svg>'
  );
}

// The YM2612's envelope generator. The chip's master clock on the Mega
// Drive is 7,670,454 Hz; one output sample takes 144 clocks and the
// envelope moves once every 3 samples. Attenuation has 10 bits of
// 0.09375 dB (1024 steps = 96 dB); TL adds 0.75 dB a step (8 units) and SL
// 3 dB a step (32 units), SL 15 meaning 93 dB. A rate R of 1 to 31 becomes
// 2R + key scale, capped at 63; release uses 2 * (2 RR + 1). These figures
// are the register and rate definitions of the OPN family as Yamaha's
// YM2608 (OPNA) application manual gives them, which the YM2612 shares.
// Within a rate, the envelope counter steps once every 2^(11 - rate/4)
// updates for rates below 48, by the 8-step increment pattern of rate % 4
// below; from rate 48 up every update steps, by 1, 2 or 4 and twice that
// in the patterns below, and by 8 from rate 60 (the step patterns as
// measured on the chip and used by accurate YM2612 emulations). Attack moves by (~attenuation * step) >> 4, the
// chip's exponential approach; rates 62 and 63 attack at once.
const CLOCK = 7670453;
export const ENVELOPE_HZ = CLOCK / 144 / 3;
// The YM2151 has the same envelope generator, updated every third sample
// too, but its samples come at its 3,579,545 Hz clock / 64: its envelopes
// run about 5% faster than a YM2612's with the same registers. Passed as
// options.updatesPerSecond for a voice heard on one.
export const YM2151_ENVELOPE_HZ = 3579545 / 64 / 3;
const DB_PER_STEP = 96 / 1024;
const MAX_ATTENUATION = 1023;
const STEP_PATTERNS = [
  [0, 1, 0, 1, 0, 1, 0, 1],
  [0, 1, 0, 1, 1, 1, 0, 1],
  [0, 1, 1, 1, 0, 1, 1, 1],
  [0, 1, 1, 1, 1, 1, 1, 1],
];
// From rate 48 up: 0 steps by the rate's base (1, 2, 4), 1 by twice it.
const FAST_PATTERNS = [
  [0, 0, 0, 0, 0, 0, 0, 0],
  [0, 0, 0, 1, 0, 0, 0, 1],
  [0, 1, 0, 1, 0, 1, 0, 1],
  [0, 1, 1, 1, 0, 1, 1, 1],
];
// The key code of the note the curves are drawn for: A4 (440 Hz), block 4,
// F-number 1084 (bit 11 set, bits 10 to 8 clear).
const DRAWN_KEY_CODE = 4 * 4 + 2;
const HOLD_SECONDS = 1;
const DRAWN_SECONDS = 2;

export function keyScale(rs, keyCode) {
  return keyCode >> (3 - (rs & 3));
}

export function effectiveRate(rate, ks) {
  return rate === 0 ? 0 : Math.min(63, 2 * rate + ks);
}

// How much the attenuation moves at envelope update `counter` for `rate`;
// 0 where this update is not one of the rate's steps.
export function stepAt(rate, counter) {
  if (rate < 2) return 0;
  if (rate >= 60) return 8;
  if (rate >= 48) {
    const base = 1 << ((rate >> 2) - 12);
    return FAST_PATTERNS[rate & 3][counter & 7] ? 2 * base : base;
  }
  const shift = 11 - (rate >> 2);
  if (counter % (1 << shift) !== 0) return 0;
  return STEP_PATTERNS[rate & 3][Math.floor(counter / (1 << shift)) & 7];
}

function sustainAttenuation(sl) {
  return (sl & 15) === 15 ? 31 << 5 : (sl & 15) << 5;
}

// The operator's output level in dB (0 loudest, -96 silent) at every
// envelope update from key-on: held for holdSeconds, then released.
// Returns the levels and the update at which the key went off.
export function envelopeLevels(op, options) {
  const opts = Object.assign(
    { keyCode: DRAWN_KEY_CODE, holdSeconds: HOLD_SECONDS, seconds: DRAWN_SECONDS, updatesPerSecond: ENVELOPE_HZ },
    options,
  );
  const ks = keyScale(op.RS, opts.keyCode);
  const rates = {
    attack: effectiveRate(op.AR, ks),
    decay: effectiveRate(op.DR, ks),
    sustain: effectiveRate(op.SR, ks),
    release: Math.min(63, 4 * (op.RR & 15) + 2 + ks),
  };
  const sustainLevel = sustainAttenuation(op.SL);
  const updates = Math.round(opts.seconds * opts.updatesPerSecond);
  const keyOff = Math.round(opts.holdSeconds * opts.updatesPerSecond);
  const levels = new Float64Array(updates + 1);
  let attenuation = MAX_ATTENUATION;
  let phase = 'attack';
  if (rates.attack >= 62) attenuation = 0;
  const level = () => {
    const total = Math.min(MAX_ATTENUATION, attenuation + ((op.TL & 127) << 3));
    return total === 0 ? 0 : -total * DB_PER_STEP;
  };
  levels[0] = level();
  for (let counter = 1; counter <= updates; ++counter) {
    if (counter === keyOff) phase = 'release';
    if (phase === 'attack' && attenuation === 0) phase = 'decay';
    if (phase === 'decay' && attenuation >= sustainLevel) phase = 'sustain';
    const step = stepAt(rates[phase], counter);
    if (phase === 'attack') {
      if (rates.attack >= 62) attenuation = 0;
      else if (step) attenuation = Math.max(0, attenuation + ((~attenuation * step) >> 4));
    } else {
      attenuation = Math.min(MAX_ATTENUATION, attenuation + step);
    }
    levels[counter] = level();
  }
  return { levels, keyOff, updatesPerSecond: opts.updatesPerSecond };
}

// Time in seconds from the key-off until the level is at or below `db`;
// Infinity if it never gets there within the drawn time.
export function releaseTime(op, db, options) {
  const { levels, keyOff, updatesPerSecond } = envelopeLevels(op, options);
  for (let i = keyOff; i < levels.length; ++i) if (levels[i] <= db) return (i - keyOff) / updatesPerSecond;
  return Infinity;
}

// The same envelope without visiting every update: each phase in closed
// form. `envelopeLevels` steps 35,000 updates an operator for 2 s, which
// took about 15 ms a card; a drawing needs 200 points of it.

// Each pattern's sums of its first 0 to 8 entries.
const prefixSums = (pattern) => pattern.reduce((sums, step) => [...sums, sums[sums.length - 1] + step], [0]);
const STEP_SUMS = STEP_PATTERNS.map(prefixSums);
const FAST_SUMS = FAST_PATTERNS.map(prefixSums);

// The sum of a repeating 8-step pattern's first `count` entries.
function cycleSum(sums, count) {
  return Math.floor(count / 8) * sums[8] + sums[count % 8];
}

// The sum of stepAt(rate, counter) over the updates 0 to n - 1.
export function stepsBefore(rate, n) {
  if (rate < 2 || n <= 0) return 0;
  if (rate >= 60) return 8 * n;
  if (rate >= 48) return (1 << ((rate >> 2) - 12)) * (n + cycleSum(FAST_SUMS[rate & 3], n));
  const every = 1 << (11 - (rate >> 2));
  return cycleSum(STEP_SUMS[rate & 3], Math.ceil(n / every));
}

// A phase in which the attenuation only grows: from update `from` to `to`,
// starting at `start` before `from`.
function linearPhase(rate, from, to, start) {
  const before = stepsBefore(rate, from);
  return {
    from,
    to,
    at: (counter) => Math.min(MAX_ATTENUATION, start + stepsBefore(rate, counter + 1) - before),
  };
}

// The first update in [from, to] at which at(update) >= target; to + 1 if none.
function firstReaching(at, from, to, target) {
  let low = from;
  let high = to + 1;
  while (low < high) {
    const middle = Math.floor((low + high) / 2);
    if (at(middle) >= target) high = middle;
    else low = middle + 1;
  }
  return low;
}

// The attack: its few steps, visited one by one (at most a few hundred
// before the attenuation reaches 0), from update 1 up to `limit` - 1.
function attackPhase(rate, limit) {
  const steps = [{ counter: 0, attenuation: rate >= 62 ? 0 : MAX_ATTENUATION }];
  let attenuation = steps[0].attenuation;
  let counter = 1;
  if (attenuation > 0 && rate >= 2) {
    const every = rate >= 48 ? 1 : 1 << (11 - (rate >> 2));
    for (let c = Math.ceil(1 / every) * every; c < limit; c += every) {
      const step = stepAt(rate, c);
      if (!step) continue;
      attenuation = Math.max(0, attenuation + ((~attenuation * step) >> 4));
      steps.push({ counter: c, attenuation });
      if (attenuation === 0) {
        counter = c + 1;
        break;
      }
    }
  }
  if (attenuation > 0) counter = limit;
  const at = (update) => {
    let low = 0;
    let high = steps.length - 1;
    while (low < high) {
      const middle = Math.ceil((low + high) / 2);
      if (steps[middle].counter <= update) low = middle;
      else high = middle - 1;
    }
    return steps[low].attenuation;
  };
  return { phase: { from: 0, to: counter - 1, at }, next: counter, attenuation };
}

// The envelope of envelopeLevels as phases: {levelAt(update) in dB, updates,
// keyOff, updatesPerSecond}, equal to envelopeLevels(op, options).levels at
// every update.
export function envelopeCurve(op, options) {
  const opts = Object.assign(
    { keyCode: DRAWN_KEY_CODE, holdSeconds: HOLD_SECONDS, seconds: DRAWN_SECONDS, updatesPerSecond: ENVELOPE_HZ },
    options,
  );
  const ks = keyScale(op.RS, opts.keyCode);
  const updates = Math.round(opts.seconds * opts.updatesPerSecond);
  const keyOff = Math.round(opts.holdSeconds * opts.updatesPerSecond);
  // The first update of the release; past the end when the key stays on.
  const release = keyOff >= 1 && keyOff <= updates ? keyOff : updates + 1;
  const attack = attackPhase(effectiveRate(op.AR, ks), release);
  const phases = [attack.phase];
  let next = attack.next;
  let attenuation = attack.attenuation;
  if (next < release) {
    // Decay until the sustain level, checked before each update, then sustain.
    const decay = linearPhase(effectiveRate(op.DR, ks), next, release - 1, attenuation);
    const sustainLevel = sustainAttenuation(op.SL);
    const sustainFrom =
      attenuation >= sustainLevel ? next : firstReaching(decay.at, next, release - 1, sustainLevel) + 1;
    decay.to = Math.min(sustainFrom, release) - 1;
    if (decay.to >= decay.from) {
      phases.push(decay);
      attenuation = decay.at(decay.to);
    }
    next = decay.to + 1;
  }
  if (next < release) {
    const sustain = linearPhase(effectiveRate(op.SR, ks), next, release - 1, attenuation);
    phases.push(sustain);
    attenuation = sustain.at(release - 1);
  }
  if (release <= updates) {
    phases.push(linearPhase(Math.min(63, 4 * (op.RR & 15) + 2 + ks), release, updates, attenuation));
  }
  const levelAt = (update) => {
    const phase = phases.find((p) => update <= p.to) || phases[phases.length - 1];
    const total = Math.min(MAX_ATTENUATION, phase.at(update) + ((op.TL & 127) << 3));
    return total === 0 ? 0 : -total * DB_PER_STEP;
  };
  return { levelAt, updates, keyOff, updatesPerSecond: opts.updatesPerSecond };
}

// At most `count` points (t in seconds, dB) of one envelope for a polyline,
// the level at every `stride`-th update.
export function envelopePoints(op, count, options) {
  const { levelAt, updates, updatesPerSecond } = envelopeCurve(op, options);
  const points = [
    { t: 0, db: -96 },
    { t: 0, db: levelAt(0) },
  ];
  const stride = Math.max(1, Math.floor(updates / (count || 200)));
  for (let i = 1; i <= updates; i += stride) points.push({ t: i / updatesPerSecond, db: levelAt(i) });
  return points;
}

// The points a polyline needs: inside a run of equal levels only its ends
// (a held sustain or silence draws the same line from two points as from a hundred).
export function withoutFlatRuns(points) {
  return points.filter(
    (p, i) => i === 0 || i === points.length - 1 || p.db !== points[i - 1].db || p.db !== points[i + 1].db,
  );
}

const ENVELOPE_W = 280;
const ENVELOPE_H = 120;
const PAD = { left: 30, right: 6, top: 6, bottom: 18 };

// The four envelopes in one SVG: level in dB over time, one polyline per
// operator (data-op), a dashed line at the key-off.
export function envelopeSvg(voice, options) {
  const opts = Object.assign({ holdSeconds: HOLD_SECONDS, seconds: DRAWN_SECONDS }, options);
  const plotW = ENVELOPE_W - PAD.left - PAD.right;
  const plotH = ENVELOPE_H - PAD.top - PAD.bottom;
  const x = (t) => Math.round((PAD.left + (t / opts.seconds) * plotW) * 10) / 10;
  const y = (db) => Math.round((PAD.top + (-db / 96) * plotH) * 10) / 10;
  const parts = [];
  for (const db of [0, -48, -96]) {
    parts.push(
      `<line class="grid" x1="${PAD.left}" x2="${ENVELOPE_W - PAD.right}" y1="${y(db)}" y2="${y(db)}"/>` +
        `<text class="axis" x="${PAD.left - 3}" y="${Number(y(db)) + 3}" text-anchor="end">${db}</text>`,
    );
  }
  parts.push(
    `<line class="key-off" x1="${x(opts.holdSeconds)}" x2="${x(opts.holdSeconds)}" y1="${PAD.top}" y2="${PAD.top + plotH}"/>`,
  );
  parts.push(
    `<text class="axis" x="${x(0)}" y="${ENVELOPE_H - 4}">0 s</text>` +
      `<text class="axis" x="${x(opts.holdSeconds)}" y="${ENVELOPE_H - 4}" text-anchor="middle">key off</text>` +
      `<text class="axis" x="${x(opts.seconds)}" y="${ENVELOPE_H - 4}" text-anchor="end">${opts.seconds} s</text>`,
  );
  // The four curves share their times and many of their levels: each
  // coordinate is made text once.
  const texts = new Map();
  const text = (key, make) => {
    let t = texts.get(key);
    if (t === undefined) texts.set(key, (t = String(make())));
    return t;
  };
  for (const op of voice.operators) {
    const points = withoutFlatRuns(envelopePoints(op, 200, opts))
      .map((p) => `${text(p.t, () => x(p.t))},${text(`y${p.db}`, () => y(p.db))}`)
      .join(' ');
    parts.push(`<polyline class="env op${op.number}" data-op="${op.number}" points="${points}"/>`);
  }
  return (
    `<svg xmlns="http://www.w3.org/2000/svg" class="envelope" role="img" viewBox="0 0 ${ENVELOPE_W} ${ENVELOPE_H}">` +
    `<title>Envelopes of operators 1 to 4 in dB over ${opts.seconds} s, key off at ${opts.holdSeconds} s</title>` +
    parts.join('') +
    '</svg>'
  );
}

export function hexBytes(bytes) {
  return Array.from(bytes, (b) => b.toString(16).toUpperCase().padStart(2, '0')).join(' ');
}
