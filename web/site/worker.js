// The page's worker: the WebAssembly module runs here, so the page never waits on a run. The page
// makes it from a blob (kelvora.js and this file, as worker-source.js holds them), which a page
// opened from file:// may do where it may not load a worker's script from its folder.
// Messages in: {run: [flags...], fields, stopAfter}, {optimum: [x, y]}, {experiment: TEXT, language,
// date}, {experimentStop}, {read: TEXT, source}. Out: {ready}, {progress}, {done}, {fieldFault},
// {refused}, {optimum}, {experimentProgress}, {experimentDone}, {experimentError}, {read, source}.
'use strict';

let lastPost = 0;
let pending = null;
let experiment = null;  // the experiment under way: {language, date, stop}
const ready = createKelvora({
    onGeneration(generation, generations, error, best, average, pose, elite) {
        // Every generation's numbers for the chart, at most about 60 messages a second.
        pending = pending || { generations, points: [] };
        pending.points.push([generation, best, average]);
        Object.assign(pending, { generation, error, pose, elite });
        const now = performance.now();
        if (generation === generations || now - lastPost > 16) {
            postMessage({ progress: pending });
            pending = null;
            lastPost = now;
        }
    },
}).then((m) => {
    m.FS.mkdir('/run');
    m.FS.mkdir('/exp');
    postMessage({ ready: true });
    return m;
});

const call = (m, name, types, args) => m.ccall(name, 'string', types, args);

function experimentSlice(m) {
    const progress = JSON.parse(call(m, 'kv_experiment_step', ['number'], [100]));
    if (progress.done < progress.runs && !experiment.stop) {
        postMessage({ experimentProgress: progress });
        setTimeout(() => experimentSlice(m), 0);  // a Stop comes in between slices
        return;
    }
    const result = JSON.parse(call(m, 'kv_experiment_result', ['number', 'number', 'string', 'string'],
                                  [progress.done < progress.runs ? 1 : 0, experiment.language === 'en' ? 1 : 0,
                                   experiment.date, '/exp']));
    const files = {};
    for (const name of ['runs.csv', 'report.html', 'experiment.kelvora.json'])
        if (m.FS.analyzePath('/exp/' + name).exists) files[name] = m.FS.readFile('/exp/' + name);
    postMessage({ experimentDone: { result, files, milliseconds: performance.now() - experiment.started } });
    experiment = null;
}

onmessage = async (event) => {
    const m = await ready;
    const request = event.data;
    if (request.run) {
        // The fields checked first, so that a fault is typed for the page to word.
        const fault = request.fields && JSON.parse(call(m, 'kv_check_fields', ['string'], [JSON.stringify(request.fields)]));
        if (fault && fault.field) {
            postMessage({ fieldFault: fault });
            return;
        }
        const started = performance.now();
        const status = m.ccall('kv_run', 'number', ['string', 'string', 'number'],
                               [request.run.join('\n'), '/run', request.stopAfter || 0]);
        if (pending) postMessage({ progress: pending });
        pending = null;
        if (status === 2) {
            postMessage({ refused: m.ccall('kv_message', 'string', [], []) });
            return;
        }
        const files = ['results.csv', 'fitness.csv', 'run.json'].map((n) => m.FS.readFile('/run/' + n));
        const [results, fitness, record] = files;
        postMessage({ done: { status, results, fitness, record, stoppedAt: request.stopAfter || 0,
                              milliseconds: performance.now() - started } }, files.map((f) => f.buffer));
    } else if (request.optimum) {
        const started = performance.now();
        const [a1, a2, a3, distance] = m.ccall('kv_optimum', 'string', ['number', 'number'], request.optimum).split(',');
        postMessage({ optimum: { target: request.optimum, pose: [+a1, +a2, +a3], distance: +distance,
                                 milliseconds: performance.now() - started } });
    } else if (request.read !== undefined) {
        postMessage({ read: JSON.parse(call(m, 'kv_experiment_read', ['string'], [request.read])), source: request.source });
    } else if (request.experiment !== undefined) {
        const start = JSON.parse(call(m, 'kv_experiment_start', ['string'], [request.experiment]));
        if (start.fault) {
            postMessage({ experimentError: start });
            return;
        }
        experiment = { language: request.language, date: request.date, stop: false, started: performance.now() };
        postMessage({ experimentProgress: { done: 0, runs: start.runs, rounds: 0 } });
        experimentSlice(m);
    } else if (request.experimentStop) {
        if (experiment) experiment.stop = true;
    }
};
