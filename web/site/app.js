// The web lab's page: the fields, the plot, the live chart and the run as a link. The run itself
// is the worker's (the same module and the same flags as kelvora-cli); this file only lays out.

const TEXT = {
    ja: { population: '個体数', generations: '世代数', crossover: '交叉率', mutation: '突然変異率', seed: 'シード',
          algorithm: '手法', encoding: '符号化', selection: '選択', crossover_operator: '交叉', mutation_operator: '突然変異',
          elitism: 'エリート数', run: '計算', stop: '停止', generation: '世代', error: '誤差', digest: 'results.csv の SHA-256',
          results: 'results.csv を保存', fitness: 'fitness.csv を保存', optimum: '厳密な最適解', language: 'English',
          target: '目標', pointer: '位置', optimumText: (p, d, ms) => `最適姿勢 ${p.join(', ')}  距離 ${d.toFixed(6)} px  (${ms.toFixed(1)} ms)`,
          stopped: '停止しました。', loading: '読み込み中…', finished: (ms) => `完了 (${ms.toFixed(0)} ms)` },
    en: { population: 'Population', generations: 'Generations', crossover: 'Crossover rate', mutation: 'Mutation rate',
          seed: 'Seed', algorithm: 'Method', encoding: 'Encoding', selection: 'Selection', crossover_operator: 'Crossover',
          mutation_operator: 'Mutation', elitism: 'Elitism', run: 'Run', stop: 'Stop', generation: 'Generation',
          error: 'Error', digest: 'SHA-256 of results.csv', results: 'Save results.csv', fitness: 'Save fitness.csv',
          optimum: 'Exact optimum', language: '日本語', target: 'Target', pointer: 'Pointer',
          optimumText: (p, d, ms) => `optimum pose ${p.join(', ')}  distance ${d.toFixed(6)} px  (${ms.toFixed(1)} ms)`,
          stopped: 'Stopped.', loading: 'Loading…', finished: (ms) => `finished (${ms.toFixed(0)} ms)` },
};
// kelvora-cli's defaults: a key of the address left out takes these.
const DEFAULTS = { population: '20', generations: '100', crossover: '0.5', mutation: '0.1', seed: '', target: '68,180',
                   algorithm: 'ga', encoding: 'binary', selection: 'roulette', crossover_operator: 'one-point',
                   mutation_operator: 'bit-flip', elitism: '0' };
const LINKS = [60, 100, 40];
const DEG = 3.1415926 / 180;

const $ = (id) => document.getElementById(id);
const form = $('setup');
const plot = $('plot');
const chart = $('chart');
let language = (navigator.language || 'en').startsWith('ja') ? 'ja' : 'en';
let target = [68, 180];
let pointer = null;
let pose = null;
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

function drawArm(ctx, angles, colour) {
    let x = 0, y = 0, sum = 0;
    ctx.strokeStyle = colour;
    ctx.lineWidth = 3;
    ctx.beginPath();
    ctx.moveTo(...toCanvas(0, 0));
    angles.forEach((a, i) => {
        sum += a;
        x += LINKS[i] * Math.cos(sum * DEG);
        y += LINKS[i] * Math.sin(sum * DEG);
        ctx.lineTo(...toCanvas(x, y));
    });
    ctx.stroke();
}

function drawPlot() {
    const ctx = plot.getContext('2d');
    ctx.clearRect(0, 0, plot.width, plot.height);
    ctx.strokeStyle = '#d0d0d0';
    ctx.lineWidth = 1;
    ctx.beginPath();
    ctx.moveTo(0, plot.height / 2); ctx.lineTo(plot.width, plot.height / 2);
    ctx.moveTo(plot.width / 2, 0); ctx.lineTo(plot.width / 2, plot.height);
    ctx.stroke();
    ctx.strokeStyle = '#909090';
    ctx.setLineDash([4, 4]);
    ctx.beginPath();
    ctx.arc(...toCanvas(0, 0), 200, 0, 2 * Math.PI);
    ctx.stroke();
    ctx.setLineDash([]);
    if (optimum && optimum.target[0] === target[0] && optimum.target[1] === target[1]) drawArm(ctx, optimum.pose, '#d02020');
    if (pose) drawArm(ctx, pose, '#2040d0');
    const [tx, ty] = toCanvas(...target);
    ctx.strokeStyle = '#000';
    ctx.lineWidth = 2;
    ctx.beginPath();
    ctx.moveTo(tx - 6, ty); ctx.lineTo(tx + 6, ty); ctx.moveTo(tx, ty - 6); ctx.lineTo(tx, ty + 6);
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
    worker = new Worker('worker.js');
    worker.onmessage = (event) => {
        const m = event.data;
        if (m.progress) {
            points.push(...m.progress.points);
            pose = m.progress.pose;
            $('generation').textContent = `${m.progress.generation} / ${m.progress.generations}`;
            $('error').textContent = m.progress.error.toFixed(4);
            drawChart(m.progress.generations);
            drawPlot();
        } else if (m.refused) {
            finish();
            $('message').textContent = m.refused;
        } else if (m.done) {
            finish();
            $('message').textContent = t('finished')(m.done.milliseconds);
            $('message').classList.add('ok');
            offer('download-results', m.done.results);
            offer('download-fitness', m.done.fitness);
            crypto.subtle.digest('SHA-256', m.done.results).then((d) => {
                $('results-sha256').textContent = [...new Uint8Array(d)].map((b) => b.toString(16).padStart(2, '0')).join('');
            });
        } else if (m.optimum) {
            optimum = m.optimum;
            $('optimum-text').textContent = t('optimumText')(optimum.pose, optimum.distance, optimum.milliseconds);
            drawPlot();
        }
    };
}

function offer(id, bytes) {
    const a = $(id);
    if (a.href) URL.revokeObjectURL(a.href);
    a.href = URL.createObjectURL(new Blob([bytes], { type: 'text/csv' }));
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
    pose = null;
    $('run').disabled = true;
    $('stop').disabled = false;
    $('message').textContent = '';
    $('message').classList.remove('ok');
    $('results-sha256').textContent = '';
    $('download-results').hidden = $('download-fitness').hidden = true;
    worker.postMessage({ run: flags(fieldValues()) });
}

function stop() {
    // A run in the module cannot be interrupted from here: the worker goes, a fresh one comes.
    worker.terminate();
    startWorker();
    finish();
    $('message').textContent = t('stopped');
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

startWorker();
const runAtOnce = readAddress();
applyLanguage();
drawChart(0);
if (runAtOnce) run();
