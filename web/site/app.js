// The web lab's page: the fields, the plot, the live chart and the run as a link; the experiment's
// table, fields and outcomes. The runs and everything computed of them are the worker's (the same
// module and the same flags as kelvora-cli); this file only lays out.

// The words are the desktop window's (its Japanese and its English translation).
const TEXT = {
    ja: { population: '集団サイズ(<10000)', generations: '世代数の上限(<10000)', crossover: '交差率',
          mutation: '突然変異の確率', seed: 'シード', algorithm: '手法', encoding: '符号化', selection: '選択',
          crossover_operator: '交差', mutation_operator: '突然変異', elitism: 'エリート数', run: '計算', stop: '停止',
          generation: '世代', error: 'エリート解の誤差', digest: 'results.csv の SHA-256',
          results: 'results.csv を保存', fitness: 'fitness.csv を保存', optimum: '最適解を表示', language: 'English',
          target: '目標点', pointer: '位置', optimumText: (p, d, ms) => `最適解 (${p.join(', ')}): 目標点まで ${d.toFixed(6)} px  (${ms.toFixed(1)} ms)`,
          stopped: (g) => `計算は第 ${g} 世代で中止され、そこまでの結果が画面に表示されています。`, loading: '読み込み中…',
          finished: (ms) => `完了 (${ms.toFixed(0)} ms)`, record: 'run.json を保存', lab: '計算', experiment: '実験',
          col_label: 'ラベル', col_population: '集団', col_generations: '世代', col_crossover: '交差率',
          col_mutation: '突然変異の確率', col_algorithm: '手法', col_encoding: '符号化', col_selection: '選択',
          col_elitism: 'エリート', col_crossover_operator: '交差', col_mutation_operator: '変異', addRow: '追加',
          listHint: '値を空白で区切るとリストになります (例: 0.01 0.05 0.1)。空欄は既定値。',
          seeds: 'シード', targets: '目標点', experimentRun: '実行', experimentStop: '中止', open: '実験を開く…',
          save: '実験を保存', runs: '実行結果を CSV で保存', report: 'レポートを書き出す', configuration: '構成',
          runsCount: '実行数', within: '誤差 ε 以内', wilson: '95% 区間', atOptimum: '最適解', medianDistance: '誤差の中央値',
          medianFirst: 'ε までの世代 (中央値)', experimentFile: '実験ファイル',
          ecdfTitle: (e) => `ε = ${e} px 以内に達した実行の割合 (世代)`,
          experimentDone: (n, ms, c) => `${n} 回の実行 (${ms.toFixed(0)} ms)${c ? ' — 中止: 最後まで終わったシードの実行を保持しています' : ''}`,
          progressText: (d, n) => `${d} / ${n} 回`, tooLong: '実験がアドレスに収まりません: 実験ファイルを保存して渡してください。',
          noReport: 'レポートは 2 つ以上の構成を比べます。' },
    en: { population: 'Population (<10000)', generations: 'Generations (<10000)', crossover: 'Crossover rate',
          mutation: 'Mutation probability', seed: 'Seed', algorithm: 'Method', encoding: 'Encoding', selection: 'Selection',
          crossover_operator: 'Crossover', mutation_operator: 'Mutation', elitism: 'Elite count', run: 'Compute', stop: 'Stop',
          generation: 'Generation', error: 'Elite error', digest: 'SHA-256 of results.csv', results: 'Save results.csv',
          fitness: 'Save fitness.csv', optimum: 'Show Optimum', language: '日本語', target: 'Target', pointer: 'Pointer',
          optimumText: (p, d, ms) => `Optimum (${p.join(', ')}): ${d.toFixed(6)} px from the target  (${ms.toFixed(1)} ms)`,
          stopped: (g) => `The run was stopped at generation ${g}; the window shows its results up to there.`,
          loading: 'Loading…', finished: (ms) => `finished (${ms.toFixed(0)} ms)`, record: 'Save run.json', lab: 'Compute',
          experiment: 'Experiment', col_label: 'Label', col_population: 'Population', col_generations: 'Generations',
          col_crossover: 'Crossover', col_mutation: 'Mutation probability', col_algorithm: 'Method', col_encoding: 'Encoding',
          col_selection: 'Selection', col_elitism: 'Elitism', col_crossover_operator: 'Crossover op.',
          col_mutation_operator: 'Mutation op.', addRow: 'Add',
          listHint: 'Values separated by blanks make a list (0.01 0.05 0.1). Empty: the default.',
          seeds: 'Seeds', targets: 'Targets', experimentRun: 'Run', experimentStop: 'Cancel', open: 'Open Experiment…',
          save: 'Save Experiment', runs: 'Save Runs as CSV', report: 'Export Report', configuration: 'Configuration',
          runsCount: 'Runs', within: 'Within ε', wilson: '95% interval', atOptimum: 'Optimum', medianDistance: 'Median error',
          medianFirst: 'Generations to ε (median)', experimentFile: 'Experiment file',
          ecdfTitle: (e) => `Runs within ε = ${e} px (by generation)`,
          experimentDone: (n, ms, c) => `${n} runs (${ms.toFixed(0)} ms)${c ? ' — stopped: the runs of the seeds finished are kept' : ''}`,
          progressText: (d, n) => `${d} / ${n} runs`, tooLong: 'The experiment does not fit in the address: save the experiment file and hand it out.',
          noReport: 'A report compares two configurations or more.' },
};

// The faults the module types, in the window's words: a seed or target list's, a count that does
// not suit the population, an experiment file's (its key path first), and the fields' and the
// table's own, which name the field or the row and column instead of the key path.
const FAULT_WORDS = {
    ja: {
        list: { empty: () => '空です', emptyItem: (v) => `空の項目があります (${v})`,
                notSeed: (v) => `${v} は 0 から 4294967295 までのシードか範囲 A..B ではありません`,
                reversed: (v) => `範囲 ${v} にシードがありません`, seedTwice: (v) => `シード ${v} が 2 回あります`,
                tooManySeeds: (v, l) => `シードが ${v} 個あります: ${l.maxSeeds} 個までです`,
                notTarget: (v) => `${v} は -199 から 199 までの整数の組 x,y ではありません`,
                targetTwice: (v) => `目標点 ${v} が 2 回あります`,
                notRandom: (v, l) => `${v} は K が 1 から ${l.maxRandomTargets} までの random:K ではありません`,
                randomTwice: (v) => `random:K は 1 つだけ書けます (${v})`,
                drawnGiven: (v) => `引いた目標点 ${v} が、書かれた目標点にもあります` },
        algorithm: { tournamentSize: (v, l) => `トーナメントの大きさ ${v} は 2 から ${l} (集団サイズ) まででなければなりません。`,
                     elitism: (v, l) => `エリート数 ${v} は 0 から ${l} (集団サイズ − 1) まででなければなりません。`,
                     creepStep: (v, l) => `creep の幅 ${v} は 1 から ${l} まででなければなりません。` },
        file: { unreadable: (f) => `読めません (${f.detail})`, notJson: (f) => `JSON ではありません (${f.detail})`,
                notExperiment: (f) => `実験ファイルではありません ("format": "${f.limits.format}" がありません)`,
                version: (f) => `版 ${f.value} は読めません (読めるのは ${f.limits.version} です)`,
                unknownKey: (f, p) => `${p}: 知らないキーです`, missing: (f, p) => `${p}: このキーが要ります`,
                wrongType: (f, p) => `${p}: ${f.value} ではなく ${f.expected} を書いてください`,
                outOfRange: (f, p) => `${p}: ${f.value} が範囲 ${f.expected} の外です`,
                badValue: (f, p) => `${p}: ${f.value} は使えません (${f.detail})`,
                problem: (f, p) => `${p}: 解けるのはリンク 60, 100, 40 の腕だけです (${f.value})`,
                sameConfiguration: (f, p) => `${p}: ${f.value} と同じ構成です`,
                sameLabel: (f, p) => `${p}: ラベル ${f.value} が 2 回あります`,
                noBaseline: (f, p) => `${p}: 基準 ${f.value} はどの構成のラベルでもありません` },
        opened: (name, words) => `実験ファイル "${name}" を読めません: ${words}`,
        seeds: (w) => `シード: ${w}`, targets: (w) => `目標点: ${w}`,
        epsilon: 'ε: 0 より大きく 1000 以下の数値を入力してください。',
        cell: (row, column) => `${row} 行目の「${column}」: `, row: (row) => `${row} 行目: `,
        whole: (low, high) => `${low} から ${high} までの整数を入力してください。`,
        number: (low, high) => `${low} から ${high} までの数値を入力してください。`,
        valueTwice: (row, column, v) => `${row} 行目の「${column}」: 値 ${v} が 2 回あります。`,
        sameRows: (a, b) => `同じ構成の行があります: ${a} 行目と ${b} 行目。どちらかを変えるか削除してください。`,
        noConfiguration: '構成がありません。「追加」で加えてください。',
    },
    en: {
        list: { empty: () => 'it is empty', emptyItem: (v) => `an empty item (${v})`,
                notSeed: (v) => `${v} is no seed from 0 to 4294967295 nor range A..B`,
                reversed: (v) => `the range ${v} holds no seed`, seedTwice: (v) => `seed ${v} is listed twice`,
                tooManySeeds: (v, l) => `${v} seeds are given: at most ${l.maxSeeds} are taken`,
                notTarget: (v) => `${v} is no pair x,y of whole numbers from -199 to 199`,
                targetTwice: (v) => `target ${v} is listed twice`,
                notRandom: (v, l) => `${v} is no random:K with K from 1 to ${l.maxRandomTargets}`,
                randomTwice: (v) => `random:K may be given only once (${v})`,
                drawnGiven: (v) => `the drawn target ${v} is also among the targets given` },
        algorithm: { tournamentSize: (v, l) => `The tournament size ${v} must be 2 to ${l} (the population size).`,
                     elitism: (v, l) => `The elite count ${v} must be 0 to ${l} (the population size less one).`,
                     creepStep: (v, l) => `The creep step ${v} must be 1 to ${l}.` },
        file: { unreadable: (f) => `cannot be read (${f.detail})`, notJson: (f) => `not JSON (${f.detail})`,
                notExperiment: (f) => `not an experiment file (no "format": "${f.limits.format}")`,
                version: (f) => `version ${f.value} cannot be read (only ${f.limits.version} can)`,
                unknownKey: (f, p) => `${p}: unknown key`, missing: (f, p) => `${p}: this key is required`,
                wrongType: (f, p) => `${p}: ${f.value} is not ${f.expected}`,
                outOfRange: (f, p) => `${p}: ${f.value} is outside ${f.expected}`,
                badValue: (f, p) => `${p}: ${f.value} cannot be used (${f.detail})`,
                problem: (f, p) => `${p}: only the arm of links 60, 100, 40 is solved (${f.value})`,
                sameConfiguration: (f, p) => `${p}: the same configuration as ${f.value}`,
                sameLabel: (f, p) => `${p}: the label ${f.value} is given twice`,
                noBaseline: (f, p) => `${p}: the baseline ${f.value} is no configuration's label` },
        opened: (name, words) => `Cannot read the experiment file "${name}": ${words}`,
        seeds: (w) => `Seeds: ${w}`, targets: (w) => `Targets: ${w}`,
        epsilon: 'ε: enter a number above 0 and at most 1000.',
        cell: (row, column) => `Row ${row}, "${column}": `, row: (row) => `Row ${row}: `,
        whole: (low, high) => `Enter a whole number from ${low} to ${high}.`,
        number: (low, high) => `Enter a number from ${low} to ${high}.`,
        valueTwice: (row, column, v) => `Row ${row}, "${column}": the value ${v} is listed twice.`,
        sameRows: (a, b) => `Rows with the same configuration: rows ${a} and ${b}. Change or remove one of them.`,
        noConfiguration: 'There is no configuration. Add one with "Add".',
    },
};

// kelvora-cli's defaults: a key of the address left out takes these.
const DEFAULTS = { population: '20', generations: '100', crossover: '0.5', mutation: '0.1', seed: '', target: '68,180',
                   algorithm: 'ga', encoding: 'binary', selection: 'roulette', crossover_operator: 'one-point',
                   mutation_operator: 'bit-flip', elitism: '0' };
const LINKS = [60, 100, 40];
// The experiment file's parameters, in the order of the window's table of configurations.
const PARAMETERS = ['algorithm', 'population', 'generations', 'crossover', 'mutation', 'encoding', 'selection',
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

const words = () => FAULT_WORDS[language];
const listWords = (list, limits) => words().list[list.kind](list.value, limits);
const algorithmWords = (a) => words().algorithm[a.kind](a.value, a.limit);

// An experiment file's fault as the window words it, after its key path (or the place given).
function fileFaultWords(f, place = f.path) {
    if (f.kind === 'list') return `${place}: ${listWords(f.list, f.limits)}`;
    if (f.kind === 'algorithm') return `${place}: ${algorithmWords(f.algorithm)}`;
    return words().file[f.kind](f, place);
}

// The range a number of the table takes, as the window's table asks for it.
function rangeWords(key, limits) {
    const W = words();
    if (key === 'population') return W.whole(1, limits.maxPopulation);
    if (key === 'generations') return W.whole(1, limits.maxGenerations);
    if (key === 'crossover') return W.number(limits.minCrossover, 1);
    if (key === 'mutation') return W.number(0, 1);
    return W.whole(0, limits.maxPopulation - 1);  // elitism
}

// A fault of the experiment the table and the fields make, naming the field, or the row and the
// column, where the file's words name a key path.
function tableFaultWords(f) {
    const W = words();
    if (f.path === 'configurations' && $('configurations').tBodies[0].rows.length === 0) return W.noConfiguration;
    if (f.path.startsWith('seeds')) return W.seeds(f.kind === 'list' ? listWords(f.list, f.limits) : W.list.notSeed(f.value));
    if (f.path.startsWith('targets')) {
        if (f.kind === 'list') return W.targets(listWords(f.list, f.limits));
        const item = /^targets\[(\d+)\]/.exec(f.path);
        return W.targets(W.list.notTarget(targetItems()[item ? +item[1] : 0] ?? f.value));
    }
    if (f.path === 'epsilon') return W.epsilon;
    const m = /^configurations\[(\d+)\](?:\.(\w+))?/.exec(f.path);
    if (!m) return fileFaultWords(f);
    const row = +m[1] + 1, key = m[2], column = key && t('col_' + key);
    if (f.kind === 'algorithm') return W.row(row) + algorithmWords(f.algorithm);
    if (f.kind === 'sameConfiguration')
        return f.detail ? W.valueTwice(row, column, f.value) : W.sameRows(+/\d+/.exec(f.value)[0] + 1, row);
    if (NUMERIC.has(key) && (f.kind === 'wrongType' || f.kind === 'outOfRange')) return W.cell(row, column) + rangeWords(key, f.limits);
    if (f.kind === 'badValue') return (key ? W.cell(row, column) : W.row(row)) + f.detail;
    return fileFaultWords(f, (key ? W.cell(row, column) : W.row(row)).replace(/: $/, ''));
}

// A field of the lab at fault, as the window words it.
function labFaultWords(f) {
    const W = words();
    if (f.kind === 'range') return f.integer ? W.whole(f.low, f.high) : W.number(f.low, f.high);
    if (f.kind === 'algorithm') return algorithmWords(f.algorithm);
    return `${t(f.field)}: ${f.detail}`;
}

let labFault = null;         // the lab's field at fault, worded again when the language changes
let experimentFault = null;  // {fault, source: 'table', 'link' or the name of the file opened}

function showFaults() {
    if (labFault) $('message').textContent = labFaultWords(labFault);
    if (!experimentFault) return;
    const { fault, source } = experimentFault;
    $('experiment-message').classList.remove('ok');
    $('experiment-message').textContent = source === 'table' ? tableFaultWords(fault)
        : source === 'link' ? `${t('experimentFile')}: ${fileFaultWords(fault)}` : words().opened(source, fileFaultWords(fault));
}

function applyLanguage() {
    document.documentElement.lang = language;
    for (const e of document.querySelectorAll('[data-t]')) e.textContent = t(e.dataset.t);
    $('language').textContent = t('language');
    drawPlot();
    showOutcome();
    showFaults();
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
        } else if (m.fieldFault) {
            finish();
            labFault = m.fieldFault;
            showFaults();
            form.elements[labFault.field].focus();
            if (form.elements[labFault.field].select) form.elements[labFault.field].select();
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
    labFault = null;
    $('message').classList.remove('ok');
    $('results-sha256').textContent = '';
    $('download-results').hidden = $('download-fitness').hidden = $('download-record').hidden = true;
    lastFlags = flags(fieldValues());
    worker.postMessage({ run: lastFlags, fields: fieldValues() });
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
    const targets = targetItems();
    if (targets.length) file.targets = targets.map((v) => (/^[-+]?\d+,[-+]?\d+$/.test(v) ? v.split(',').map(Number) : v));
    const epsilon = $('epsilon').value.trim();
    if (epsilon !== '') file.epsilon = /^[-+]?(\d+\.?\d*|\.\d+)([eE][-+]?\d+)?$/.test(epsilon) ? Number(epsilon) : epsilon;
    for (const key of ['title', 'notes', 'alpha', 'baseline']) if (opened[key] !== undefined && opened[key] !== '') file[key] = opened[key];
    return JSON.stringify(file);
}
const targetItems = () => $('targets').value.trim().split(/\s+/).filter((v) => v !== '');
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
    worker.postMessage({ read: text, source: 'table' });
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
        const fill = m.source !== 'table';
        if (m.read.fault) {
            experimentFault = { fault: m.read.fault, source: m.source };
            showFaults();
            save.removeAttribute('href');
        } else {
            if (fill) fillExperiment(m.read);
            offer('save-experiment', m.read.text, 'application/json');
            if (!experimentRunning && (experimentFault || !experimentResult)) {
                experimentFault = null;
                $('experiment-message').textContent = $('experiment-about').dataset.long ? t('tooLong') : '';
                showOutcome();
            }
            if (fill && runWhenRead) { runWhenRead = false; runExperiment(); }
        }
    } else if (m.experimentError) {
        endExperiment();
        experimentFault = { fault: m.experimentError.fault, source: 'table' };
        showFaults();
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
    $('experiment-message').classList.add('ok');
    setTimeout(() => drawEcdf(result), 0);  // a task of its own: the page answers in between
}

function drawEcdf(result) {
    const ctx = ecdf.getContext('2d');
    // The legend under the chart, three labels a line.
    const legendLines = Math.ceil(result.groups.length / 3);
    const w = ecdf.width, h = ecdf.height, left = 36, bottom = 20 + 14 * legendLines, top = 20;
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
        ctx.fillText(g.label, left + 8 + 125 * (i % 3), h - 6 - 14 * (legendLines - 1 - Math.floor(i / 3)));
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
    if (file) worker.postMessage({ read: await file.text(), source: file.name });
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
    worker.postMessage({ read: hashParams.get('experiment'), source: 'link' });
} else {
    addRow();
    addRow({ encoding: 'gray' });
    const runAtOnce = readAddress();
    drawPlot();
    if (runAtOnce) run();
}
