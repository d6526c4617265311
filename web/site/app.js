// The web lab's page: the fields, the plot, the live chart and the run as a link; the experiment's
// table, fields and outcomes. The runs and everything computed of them are the worker's (the same
// module and the same flags as kelvora-cli); this file only lays out.

const TEXT = {
    ja: { population: '個体数', generations: '世代数', crossover: '交叉率', mutation: '突然変異率', seed: 'シード',
          algorithm: '手法', encoding: '符号化', selection: '選択', crossover_operator: '交叉', mutation_operator: '突然変異',
          elitism: 'エリート数', run: '計算', stop: '停止', generation: '世代', error: '誤差', digest: 'results.csv の SHA-256',
          results: 'results.csv を保存', fitness: 'fitness.csv を保存', optimum: '厳密な最適解', language: 'English',
          target: '目標', pointer: '位置', optimumText: (p, d, ms) => `最適姿勢 ${p.join(', ')}  距離 ${d.toFixed(6)} px  (${ms.toFixed(1)} ms)`,
          stopped: (g) => `世代 ${g} で停止しました。ファイルはそこまでの世代を保持します。`, loading: '読み込み中…',
          finished: (ms) => `完了 (${ms.toFixed(0)} ms)`, record: 'run.json を保存', lab: '計算', experiment: '実験',
          label: 'ラベル', addRow: '行を追加', listHint: '値を空白で区切るとリストになります (例: 0.01 0.05 0.1)。空欄は既定値。',
          seeds: 'シード', targets: '目標点', open: '開く…', save: '実験ファイルを保存', runs: '実行の CSV を保存',
          report: 'レポートを保存', runsCount: '実行数', within: 'ε 以内', wilson: '95% 区間', atOptimum: '最適解',
          medianDistance: '距離の中央値 (px)', medianFirst: 'ε に達した世代の中央値',
          experimentFile: '実験ファイル', ecdfTitle: (e) => `ε = ${e} px 以内に達した実行の割合 (世代)`,
          experimentDone: (n, ms, c) => `${n} 回の実行 (${ms.toFixed(0)} ms)${c ? ' — 中止: 最後まで終わったシードの実行を保持しています' : ''}`,
          progressText: (d, n) => `${d} / ${n} 回`, tooLong: '実験がアドレスに収まりません: 実験ファイルを保存して渡してください。',
          noReport: 'レポートは 2 つ以上の構成を比べます。' },
    en: { population: 'Population', generations: 'Generations', crossover: 'Crossover rate', mutation: 'Mutation rate',
          seed: 'Seed', algorithm: 'Method', encoding: 'Encoding', selection: 'Selection', crossover_operator: 'Crossover',
          mutation_operator: 'Mutation', elitism: 'Elitism', run: 'Run', stop: 'Stop', generation: 'Generation',
          error: 'Error', digest: 'SHA-256 of results.csv', results: 'Save results.csv', fitness: 'Save fitness.csv',
          optimum: 'Exact optimum', language: '日本語', target: 'Target', pointer: 'Pointer',
          optimumText: (p, d, ms) => `optimum pose ${p.join(', ')}  distance ${d.toFixed(6)} px  (${ms.toFixed(1)} ms)`,
          stopped: (g) => `Stopped after generation ${g}; the files hold the generations run.`, loading: 'Loading…',
          finished: (ms) => `finished (${ms.toFixed(0)} ms)`, record: 'Save run.json', lab: 'Run', experiment: 'Experiment',
          label: 'Label', addRow: 'Add a row', listHint: 'Values separated by blanks make a list (0.01 0.05 0.1). Empty: the default.',
          seeds: 'Seeds', targets: 'Targets', open: 'Open…', save: 'Save the experiment file', runs: 'Save the runs CSV',
          report: 'Save the report', runsCount: 'Runs', within: 'Within ε', wilson: '95% interval', atOptimum: 'At optimum',
          medianDistance: 'Median distance (px)', medianFirst: 'Median generation to ε',
          experimentFile: 'Experiment file', ecdfTitle: (e) => `Runs within ε = ${e} px (by generation)`,
          experimentDone: (n, ms, c) => `${n} runs (${ms.toFixed(0)} ms)${c ? ' — stopped: the runs of the seeds finished are kept' : ''}`,
          progressText: (d, n) => `${d} / ${n} runs`, tooLong: 'The experiment does not fit in the address: save the experiment file and hand it out.',
          noReport: 'A report compares two configurations or more.' },
};
// kelvora-cli's defaults: a key of the address left out takes these.
const DEFAULTS = { population: '20', generations: '100', crossover: '0.5', mutation: '0.1', seed: '', target: '68,180',
                   algorithm: 'ga', encoding: 'binary', selection: 'roulette', crossover_operator: 'one-point',
                   mutation_operator: 'bit-flip', elitism: '0' };
const LINKS = [60, 100, 40];
// The experiment file's parameters, in the table's column order.
const PARAMETERS = ['population', 'generations', 'crossover', 'mutation', 'algorithm', 'encoding', 'selection',
                    'elitism', 'crossover_operator', 'mutation_operator'];
const NUMERIC = new Set(['population', 'generations', 'crossover', 'mutation', 'elitism']);
// The experiment window's series colours, one a configuration.
const SERIES = ['#1f77b4', '#d62728', '#2ca02c', '#ff7f0e', '#9467bd', '#8c564b', '#e377c2', '#7f7f7f'];
const DEG = 3.1415926 / 180;

const $ = (id) => document.getElementById(id);
const form = $('setup');
const plot = $('plot');
const chart = $('chart');
let language = (navigator.language || 'en').startsWith('ja') ? 'ja' : 'en';
let target = [68, 180];
let pointer = null;
let pose = null;
let elite = null;
let lastGeneration = 0;
let lastFlags = null;
let experimentRunning = false;
let experimentResult = null;
let optimum = null;
let points = [];
let worker = null;
let running = false;

function t(key) { return TEXT[language][key]; }

function applyLanguage() {
    document.documentElement.lang = language;
    for (const e of document.querySelectorAll('[data-t]')) e.textContent = t(e.dataset.t);
    $('language').textContent = t('language');
    drawPlot();
    showOutcome();
}

// ---- the run as a link ----

function fieldValues() {
    const values = { target: target.join(',') };
    for (const e of form.elements) if (e.name) values[e.name] = e.value.trim();
    return values;
}

function flags(values) {
    const list = [];
    for (const [key, value] of Object.entries(values))
        if (value !== '' && value !== DEFAULTS[key]) list.push('--' + key.replaceAll('_', '-'), value);
    return list;
}

function writeAddress() {
    const values = fieldValues();
    const parts = [];
    for (const [key, value] of Object.entries(values))
        if (value !== '' && (value !== DEFAULTS[key] || key === 'seed')) parts.push(`${key}=${encodeURIComponent(value)}`);
    history.replaceState(null, '', '#' + parts.join('&'));
}

function readAddress() {
    const params = new URLSearchParams(location.hash.slice(1));
    for (const [key, fallback] of Object.entries(DEFAULTS)) {
        const value = params.get(key) ?? fallback;
        if (key === 'target') {
            const m = /^(-?\d+),(-?\d+)$/.exec(value);
            if (m) target = [+m[1], +m[2]];
        } else if (form.elements[key]) {
            form.elements[key].value = value;
        }
    }
    return params.has('run');
}

// ---- the plot: base in the middle, y up, one pixel a unit ----

function toCanvas(x, y) { return [plot.width / 2 + x, plot.height / 2 - y]; }

function drawArm(ctx, angles, colour, dash = []) {
    let x = 0, y = 0, sum = 0;
    ctx.strokeStyle = colour;
    ctx.lineWidth = 2;
    ctx.setLineDash(dash);
    ctx.beginPath();
    ctx.moveTo(...toCanvas(0, 0));
    angles.forEach((a, i) => {
        sum += a;
        x += LINKS[i] * Math.cos(sum * DEG);
        y += LINKS[i] * Math.sin(sum * DEG);
        ctx.lineTo(...toCanvas(x, y));
    });
    ctx.stroke();
    ctx.setLineDash([]);
}

// As the window paints it: black axes and dotted reach circle, the optimum dashed green under the
// generation's best arm (blue) and the best so far (red), the target a red circle filled white.
function drawPlot() {
    const ctx = plot.getContext('2d');
    ctx.clearRect(0, 0, plot.width, plot.height);
    ctx.strokeStyle = '#000000';
    ctx.lineWidth = 1;
    ctx.strokeRect(0.5, 0.5, plot.width - 1, plot.height - 1);
    ctx.beginPath();
    ctx.moveTo(0, plot.height / 2 + 0.5); ctx.lineTo(plot.width, plot.height / 2 + 0.5);
    ctx.moveTo(plot.width / 2 + 0.5, 0); ctx.lineTo(plot.width / 2 + 0.5, plot.height);
    ctx.stroke();
    if (optimum && optimum.target[0] === target[0] && optimum.target[1] === target[1])
        drawArm(ctx, optimum.pose, 'rgb(0, 160, 0)', [6, 4]);
    if (pose) drawArm(ctx, pose, 'rgb(0, 0, 255)');
    if (elite) drawArm(ctx, elite, 'rgb(255, 0, 0)');
    ctx.strokeStyle = '#000000';
    ctx.lineWidth = 1;
    ctx.setLineDash([3, 3]);
    ctx.beginPath();
    ctx.arc(...toCanvas(0, 0), 200, 0, 2 * Math.PI);
    ctx.stroke();
    ctx.setLineDash([]);
    const [tx, ty] = toCanvas(...target);
    ctx.strokeStyle = 'rgb(255, 0, 0)';
    ctx.fillStyle = '#ffffff';
    ctx.beginPath();
    ctx.arc(tx, ty, 4, 0, 2 * Math.PI);
    ctx.fill();
    ctx.stroke();
    $('target-text').textContent = `${t('target')} ${target.join(', ')}`;
    $('pointer').textContent = pointer ? `${t('pointer')} ${pointer.join(', ')}` : '';
}

function plotPoint(event) {
    const r = plot.getBoundingClientRect();
    const x = Math.round((event.clientX - r.left) * plot.width / r.width - plot.width / 2);
    const y = Math.round(plot.height / 2 - (event.clientY - r.top) * plot.height / r.height);
    return [Math.max(-199, Math.min(199, x)), Math.max(-199, Math.min(199, y))];
}

// ---- the fitness chart: best (blue) and average (grey) per generation, fitness 0..1 ----

function drawChart(generations) {
    const ctx = chart.getContext('2d');
    const w = chart.width, h = chart.height, left = 30, bottom = 18;
    ctx.clearRect(0, 0, w, h);
    ctx.strokeStyle = '#909090';
    ctx.strokeRect(left, 4, w - left - 4, h - bottom - 4);
    ctx.fillStyle = '#404040';
    ctx.font = '11px sans-serif';
    ctx.fillText('1', 16, 12);
    ctx.fillText('0', 16, h - bottom);
    ctx.fillText(String(generations || ''), w - 40, h - 4);
    const x = (g) => left + (w - left - 4) * (generations > 1 ? (g - 1) / (generations - 1) : 0);
    const y = (f) => 4 + (h - bottom - 4) * (1 - f);
    for (const [column, colour] of [[2, '#a0a0a0'], [1, '#2040d0']]) {
        ctx.strokeStyle = colour;
        ctx.beginPath();
        points.forEach((p, i) => (i ? ctx.lineTo(x(p[0]), y(p[column])) : ctx.moveTo(x(p[0]), y(p[column]))));
        ctx.stroke();
    }
}

// ---- the worker ----

function startWorker() {
    // From a blob of the worker's source: a page opened from file:// may start no worker from a file.
    worker = new Worker(URL.createObjectURL(new Blob([self.kelvoraWorkerSource], { type: 'text/javascript' })));
    worker.onmessage = (event) => {
        const m = event.data;
        if (m.progress) {
            points.push(...m.progress.points);
            pose = m.progress.pose;
            elite = m.progress.elite;
            lastGeneration = m.progress.generation;
            $('generation').textContent = `${m.progress.generation} / ${m.progress.generations}`;
            $('error').textContent = m.progress.error.toFixed(4);
            drawChart(m.progress.generations);
            drawPlot();
        } else if (m.refused) {
            finish();
            $('message').textContent = m.refused;
        } else if (m.done) {
            finish();
            $('message').textContent = m.done.stoppedAt ? t('stopped')(m.done.stoppedAt) : t('finished')(m.done.milliseconds);
            $('message').classList.add('ok');
            offer('download-results', m.done.results);
            offer('download-fitness', m.done.fitness);
            offer('download-record', m.done.record, 'application/json');
            crypto.subtle.digest('SHA-256', m.done.results).then((d) => {
                $('results-sha256').textContent = [...new Uint8Array(d)].map((b) => b.toString(16).padStart(2, '0')).join('');
            });
        } else if (m.optimum) {
            optimum = m.optimum;
            $('optimum-text').textContent = t('optimumText')(optimum.pose, optimum.distance, optimum.milliseconds);
            drawPlot();
        } else {
            experimentMessage(m);
        }
    };
}

function offer(id, bytes, type = 'text/csv') {
    const a = $(id);
    if (a.href.startsWith('blob:')) URL.revokeObjectURL(a.href);
    a.href = URL.createObjectURL(new Blob([bytes], { type }));
    a.hidden = false;
}

function finish() {
    running = false;
    $('run').disabled = false;
    $('stop').disabled = true;
}

function run() {
    if (running) return;
    if (form.elements.seed.value.trim() === '')
        form.elements.seed.value = String(crypto.getRandomValues(new Uint32Array(1))[0]);
    writeAddress();
    running = true;
    points = [];
    pose = elite = null;
    lastGeneration = 0;
    $('run').disabled = true;
    $('stop').disabled = false;
    $('message').textContent = '';
    $('message').classList.remove('ok');
    $('results-sha256').textContent = '';
    $('download-results').hidden = $('download-fitness').hidden = $('download-record').hidden = true;
    lastFlags = flags(fieldValues());
    worker.postMessage({ run: lastFlags });
}

function stop() {
    // A run in the module cannot be interrupted from here: the worker goes, and a fresh one makes
    // the same run again up to the generation shown, where it stops as a stopped run does, so that
    // the files and run.json hold the generations already run.
    worker.terminate();
    startWorker();
    if (lastGeneration > 0) {
        worker.postMessage({ run: lastFlags, stopAfter: lastGeneration });
    } else {
        finish();
        $('message').textContent = t('stopped')(0);
    }
    $('stop').disabled = true;
}

plot.addEventListener('click', (event) => {
    target = plotPoint(event);
    writeAddress();
    drawPlot();
});
plot.addEventListener('mousemove', (event) => { pointer = plotPoint(event); drawPlot(); });
plot.addEventListener('mouseleave', () => { pointer = null; drawPlot(); });
form.addEventListener('submit', (event) => { event.preventDefault(); run(); });
form.addEventListener('input', writeAddress);
$('stop').addEventListener('click', stop);
$('optimum').addEventListener('click', () => worker.postMessage({ optimum: target }));
$('language').addEventListener('click', () => { language = language === 'ja' ? 'en' : 'ja'; applyLanguage(); });

// ---- the experiment: the table and fields make the experiment file's text, the worker runs it ----

function addRow(values = {}) {
    const row = document.createElement('tr');
    for (const key of ['label', ...PARAMETERS]) {
        const cell = document.createElement('td');
        const input = document.createElement('input');
        input.name = key;
        input.value = values[key] || '';
        input.addEventListener('input', writeExperimentAddress);
        cell.append(input);
        row.append(cell);
    }
    const remove = document.createElement('button');
    remove.type = 'button';
    remove.textContent = '×';
    remove.addEventListener('click', () => { row.remove(); writeExperimentAddress(); });
    row.append(Object.assign(document.createElement('td'), {}), remove);
    $('configurations').tBodies[0].append(row);
}

// A cell's value as the file writes it: a number where it reads as one (else the text, for the
// reader to name), a list when there are several.
function cellValue(key, text) {
    const items = text.trim().split(/\s+/).filter((v) => v !== '');
    const one = (v) => (NUMERIC.has(key) && /^[-+]?(\d+\.?\d*|\.\d+)([eE][-+]?\d+)?$/.test(v) ? Number(v) : v);
    return items.length === 0 ? undefined : items.length === 1 ? one(items[0]) : items.map(one);
}

function experimentText() {
    const configurations = [];
    for (const row of $('configurations').tBodies[0].rows) {
        const entry = {};
        for (const input of row.querySelectorAll('input')) {
            if (input.name === 'label') {
                if (input.value.trim() !== '') entry.label = input.value.trim();
            } else {
                const value = cellValue(input.name, input.value);
                if (value !== undefined) entry[input.name] = value;
            }
        }
        configurations.push(entry);
    }
    const file = { format: 'kelvora-experiment', version: 1, configurations, seeds: $('seeds').value.replace(/\s+/g, '') };
    const targets = $('targets').value.trim().split(/\s+/).filter((v) => v !== '');
    if (targets.length) file.targets = targets.map((v) => (/^[-+]?\d+,[-+]?\d+$/.test(v) ? v.split(',').map(Number) : v));
    const epsilon = $('epsilon').value.trim();
    if (epsilon !== '') file.epsilon = /^[-+]?(\d+\.?\d*|\.\d+)([eE][-+]?\d+)?$/.test(epsilon) ? Number(epsilon) : epsilon;
    for (const key of ['title', 'notes', 'alpha', 'baseline']) if (opened[key] !== undefined && opened[key] !== '') file[key] = opened[key];
    return JSON.stringify(file);
}
let runWhenRead = false;
let opened = {};  // title, notes, alpha and baseline of the file opened: kept when it is saved again

function fillExperiment(read) {
    $('configurations').tBodies[0].replaceChildren();
    for (const row of read.configurations) addRow(row);
    $('seeds').value = read.seeds;
    $('targets').value = read.targets;
    $('epsilon').value = String(read.epsilon);
    opened = { title: read.title, notes: read.notes, alpha: read.alpha === 0.05 ? undefined : read.alpha,
               baseline: read.baseline };
    $('experiment-about').textContent = [read.title, read.notes].filter((v) => v).join(' — ');
    writeExperimentAddress();
}

// The experiment as a link, when it fits in an address; the worker reads it as the file would be
// read, for its faults and the bytes the experiment file is saved with.
function writeExperimentAddress() {
    if ($('experiment').hidden) return;
    const text = experimentText();
    const hash = '#experiment=' + encodeURIComponent(text);
    if (hash.length <= 2000) history.replaceState(null, '', hash);
    $('experiment-about').dataset.long = hash.length > 2000 ? 'yes' : '';
    worker.postMessage({ read: text, fill: false });
}

function runExperiment() {
    if (experimentRunning) return;
    writeExperimentAddress();
    experimentRunning = true;
    $('experiment-run').disabled = true;
    $('experiment-stop').disabled = false;
    $('experiment-message').textContent = '';
    $('experiment-message').classList.remove('ok');
    for (const id of ['download-runs', 'download-report']) $(id).hidden = true;
    const date = new Date().toISOString().slice(0, 10);
    worker.postMessage({ experiment: experimentText(), language, date });
}

function endExperiment() {
    experimentRunning = false;
    $('experiment-run').disabled = false;
    $('experiment-stop').disabled = true;
}

function experimentMessage(m) {
    if (m.read) {
        const save = $('save-experiment');
        if (m.read.error) {
            $('experiment-message').textContent = `${t('experimentFile')}: ${m.read.error}`;
            save.removeAttribute('href');
        } else {
            if (m.fill) fillExperiment(m.read);
            offer('save-experiment', m.read.text, 'application/json');
            if (!experimentRunning && !experimentResult)
                $('experiment-message').textContent = $('experiment-about').dataset.long ? t('tooLong') : '';
            if (m.fill && runWhenRead) { runWhenRead = false; runExperiment(); }
        }
    } else if (m.experimentError) {
        endExperiment();
        $('experiment-message').textContent = m.experimentError;
    } else if (m.experimentProgress) {
        const p = m.experimentProgress;
        $('experiment-progress').max = p.runs;
        $('experiment-progress').value = p.done;
        $('experiment-count').textContent = t('progressText')(p.done, p.runs);
    } else if (m.experimentDone) {
        endExperiment();
        experimentResult = m.experimentDone;
        const runs = experimentResult.result.groups.reduce((n, g) => n + g.runs, 0);
        $('experiment-progress').value = runs;
        $('experiment-count').textContent = t('progressText')(runs, $('experiment-progress').max);
        const files = experimentResult.files;
        offer('download-runs', files['runs.csv']);
        if (files['report.html']) offer('download-report', files['report.html'], 'text/html');
        $('experiment-message').classList.add('ok');
        showOutcome();
    }
}

const percent = (x) => (100 * x).toFixed(1) + '%';

// The outcome table (the Wilson band drawn beside each rate), the run-length chart and the verdicts.
function showOutcome() {
    if (!experimentResult) return;
    const result = experimentResult.result;
    const body = $('outcomes').tBodies[0];
    body.replaceChildren();
    result.groups.forEach((g, i) => {
        const w = g.within;
        const band = `<svg width="100" height="12"><rect x="0" y="5" width="100" height="2" fill="#e0e0e0"/>` +
            `<rect x="${100 * w.low}" y="2" width="${Math.max(1, 100 * (w.high - w.low))}" height="8" fill="${SERIES[i % 8]}" opacity="0.35"/>` +
            `<rect x="${100 * w.rate - 1}" y="0" width="2" height="12" fill="${SERIES[i % 8]}"/></svg>`;
        const row = body.insertRow();
        const cells = [g.label, String(g.runs), `${w.successes}/${w.trials} (${percent(w.rate)})`,
                       `${percent(w.low)} – ${percent(w.high)} `, `${g.optimum.successes}/${g.optimum.trials}`, g.ert,
                       g.distance[1].toFixed(3), g.firstWithin === null ? '–' : String(g.firstWithin)];
        cells.forEach((text, k) => {
            const cell = row.insertCell();
            cell.textContent = text;
            if (k === 0) cell.style.color = SERIES[i % 8];
            if (k === 3) cell.insertAdjacentHTML('beforeend', band);
        });
    });
    const list = $('verdicts');
    list.replaceChildren(...result.verdicts.map((v) => Object.assign(document.createElement('li'), { textContent: v })));
    if (result.groups.length < 2) list.replaceChildren(Object.assign(document.createElement('li'), { textContent: t('noReport') }));
    $('experiment-message').textContent = t('experimentDone')(result.groups.reduce((n, g) => n + g.runs, 0),
                                                              experimentResult.milliseconds, result.cancelled);
    drawEcdf(result);
}

function drawEcdf(result) {
        const ctx = ecdf.getContext('2d');
    const w = ecdf.width, h = ecdf.height, left = 36, bottom = 34, top = 20;
    ctx.clearRect(0, 0, w, h);
    ctx.fillStyle = '#202020';
    ctx.font = '12px sans-serif';
    ctx.fillText(t('ecdfTitle')(result.epsilon), left, 13);
    ctx.strokeStyle = '#909090';
    ctx.strokeRect(left, top, w - left - 8, h - top - bottom);
    const most = Math.max(1, ...result.groups.map((g) => g.generations));
    const x = (g) => left + (w - left - 8) * (g / most);
    const y = (f) => top + (h - top - bottom) * (1 - f);
    ctx.fillText('0', left - 12, y(0) + 4);
    ctx.fillText('1', left - 12, y(1) + 4);
    ctx.fillText(String(most), w - 36, h - bottom + 14);
    result.groups.forEach((g, i) => {
        const colour = SERIES[i % 8];
        // The Wilson band, then the step line.
        ctx.fillStyle = colour;
        ctx.globalAlpha = 0.15;
        ctx.beginPath();
        g.ecdf.forEach((p, k) => (k ? ctx.lineTo(x(p[0]), y(p[3])) : ctx.moveTo(x(p[0]), y(p[3]))));
        for (let k = g.ecdf.length - 1; k >= 0; --k) ctx.lineTo(x(g.ecdf[k][0]), y(g.ecdf[k][2]));
        ctx.fill();
        ctx.globalAlpha = 1;
        ctx.strokeStyle = colour;
        ctx.lineWidth = 2;
        ctx.beginPath();
        let last = 0;
        ctx.moveTo(x(0), y(0));
        for (const p of g.ecdf) { ctx.lineTo(x(p[0]), y(last)); ctx.lineTo(x(p[0]), y(p[1])); last = p[1]; }
        ctx.stroke();
        ctx.lineWidth = 1;
        ctx.fillStyle = colour;
        ctx.fillText(g.label, left + 8 + 110 * (i % 4), h - 6 - 0 * i);
    });
}

function showPage(experiment) {
    $('lab').hidden = experiment;
    $('experiment').hidden = !experiment;
    $('show-lab').classList.toggle('current', !experiment);
    $('show-experiment').classList.toggle('current', experiment);
    if (experiment) writeExperimentAddress();
    else writeAddress();
}

$('show-lab').addEventListener('click', () => showPage(false));
$('show-experiment').addEventListener('click', () => showPage(true));
$('add-row').addEventListener('click', () => { addRow(); writeExperimentAddress(); });
for (const id of ['seeds', 'targets', 'epsilon']) $(id).addEventListener('input', writeExperimentAddress);
$('experiment-run').addEventListener('click', runExperiment);
$('experiment-stop').addEventListener('click', () => worker.postMessage({ experimentStop: true }));
$('open-experiment').addEventListener('change', async (event) => {
    const file = event.target.files[0];
    if (file) worker.postMessage({ read: await file.text(), fill: true });
    event.target.value = '';
});

startWorker();
applyLanguage();
drawChart(0);
const hashParams = new URLSearchParams(location.hash.slice(1));
if (hashParams.has('experiment')) {
    addRow();
    showPage(true);
    runWhenRead = hashParams.has('run');
    worker.postMessage({ read: hashParams.get('experiment'), fill: true });
} else {
    addRow();
    addRow({ encoding: 'gray' });
    const runAtOnce = readAddress();
    drawPlot();
    if (runAtOnce) run();
}
