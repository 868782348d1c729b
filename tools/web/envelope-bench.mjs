#!/usr/bin/env node
// The cost of a card's envelope drawing: CPU time a card of envelopeSvg
// (four operators in closed form, 200 points each, as SVG text) beside the
// step-by-step model it replaced, on 1,380 voices made from a fixed
// pseudo-random sequence (the size of bench-logs' harvest). CPU time, not
// wall time, so that a loaded machine still gives a fair figure.
//
// usage: node tools/web/envelope-bench.mjs [ROUNDS]
import { envelopeLevels, envelopeSvg } from "../../web/src/voice_draw.js";

const rounds = Number(process.argv[2] || 5);
let lcgState = 7; // a linear congruential generator: the same voices every run
const next = (n) => {
    lcgState = (Math.imul(lcgState, 1103515245) + 12345) >>> 0;
    return (lcgState >>> 8) % n;
};
const voices = Array.from({ length: 1380 }, () => ({
    operators: [1, 2, 3, 4].map((number) => ({
        number,
        MUL: 1,
        DT: 0,
        TL: next(128),
        RS: next(4),
        AR: next(32),
        DR: next(32),
        SR: next(32),
        RR: next(16),
        SL: next(16),
        SSG: 0,
    })),
}));
const cpuMs = (work) => {
    const start = process.cpuUsage();
    work();
    const used = process.cpuUsage(start);
    return (used.user + used.system) / 1000;
};
const closed = [];
const stepped = [];
for (let round = 0; round < rounds; ++round) {
    closed.push(
        cpuMs(() => voices.forEach((v) => envelopeSvg(v))) / voices.length,
    );
    const some = voices.slice(0, 40);
    stepped.push(
        cpuMs(() =>
            some.forEach((v) =>
                v.operators.forEach((op) => envelopeLevels(op)),
            ),
        ) / some.length,
    );
}
const median = (list) =>
    [...list].sort((a, b) => a - b)[Math.floor(list.length / 2)];
console.log(
    `envelope drawing, CPU ms a card (median of ${rounds}): ${median(closed).toFixed(3)}`,
);
console.log(
    `step-by-step levels alone, CPU ms a card: ${median(stepped).toFixed(2)}`,
);
