// The page's worker: the WebAssembly module runs here, so the page never waits on a run.
// Messages in: {run: [flags...]}, {optimum: [x, y]}. Out: {ready}, {generation...}, {done...}, {optimum}.
'use strict';
importScripts('kelvora.js');

let lastPost = 0;
let pending = null;
const ready = createKelvora({
    onGeneration(generation, generations, error, best, average, pose) {
        // Every generation's numbers for the chart, at most about 60 messages a second.
        pending = pending || { generations, points: [] };
        pending.points.push([generation, best, average]);
        pending.generation = generation;
        pending.error = error;
        pending.pose = pose;
        const now = performance.now();
        if (generation === generations || now - lastPost > 16) {
            postMessage({ progress: pending });
            pending = null;
            lastPost = now;
        }
    },
}).then((m) => {
    m.FS.mkdir('/run');
    postMessage({ ready: true });
    return m;
});

onmessage = async (event) => {
    const m = await ready;
    const request = event.data;
    if (request.run) {
        const started = performance.now();
        const status = m.ccall('kv_run', 'number', ['string', 'string'], [request.run.join('\n'), '/run']);
        if (pending) postMessage({ progress: pending });
        pending = null;
        if (status === 2) {
            postMessage({ refused: m.ccall('kv_message', 'string', [], []) });
            return;
        }
        const results = m.FS.readFile('/run/results.csv');
        const fitness = m.FS.readFile('/run/fitness.csv');
        postMessage({ done: { status, results, fitness, milliseconds: performance.now() - started } },
                    [results.buffer, fitness.buffer]);
    } else if (request.optimum) {
        const started = performance.now();
        const [a1, a2, a3, distance] = m.ccall('kv_optimum', 'string', ['number', 'number'], request.optimum).split(',');
        postMessage({ optimum: { target: request.optimum, pose: [+a1, +a2, +a3], distance: +distance,
                                 milliseconds: performance.now() - started } });
    }
};
