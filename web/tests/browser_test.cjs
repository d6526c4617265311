// The web lab in the system's chromium, headless: a clicked target run from the page and hidden
// run links give results.csv's SHA-256 of kelvora-cli's run (also from file://), run.json is
// kelvora-cli's, a stopped run keeps its generations, an experiment link's runs and verdicts are
// kelvora-cli's, and no request leaves the folder.
// Usage: node browser_test.cjs KELVORA_CLI WEB_DIR [SCREENSHOT_DIR]
'use strict';
const assert = require('node:assert');
const { execFileSync, spawn } = require('node:child_process');
const crypto = require('node:crypto');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const test = require('node:test');
const puppeteer = require('puppeteer-core');

const [cli, webDir, shots] = process.argv.slice(2);

const sha256 = (bytes) => crypto.createHash('sha256').update(bytes).digest('hex');

// The native run's results.csv digest and its run.json.
function nativeRun(args) {
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'kelvora-web-'));
    try {
        execFileSync(cli, [...args, '--quiet', '--output-dir', dir]);
        return { digest: sha256(fs.readFileSync(path.join(dir, 'results.csv'))),
                 record: JSON.parse(fs.readFileSync(path.join(dir, 'run.json'), 'utf8')) };
    } finally {
        fs.rmSync(dir, { recursive: true, force: true });
    }
}
const nativeDigest = (args) => nativeRun(args).digest;

// A record without the times it was made at, which no two runs share.
const timeless = (record) => ({ ...record, started: undefined, ended: undefined });

// The bytes behind a download link of the page.
const linkBytes = (page, id) => page.$eval(id, async (a) => [...new Uint8Array(await (await fetch(a.href)).arrayBuffer())]);

// A link's keys as kelvora-cli's flags.
function linkFlags(hash) {
    const flags = [];
    for (const [key, value] of new URLSearchParams(hash)) if (key !== 'run') flags.push('--' + key.replaceAll('_', '-'), value);
    return flags;
}

let server, browser, origin;
const requests = [];

test.before(async () => {
    const port = 20000 + Math.floor(Math.random() * 20000);
    server = spawn('python3', ['-m', 'http.server', String(port), '--bind', '127.0.0.1', '--directory', webDir],
                   { stdio: 'ignore' });
    origin = `http://127.0.0.1:${port}/`;
    for (let i = 0; i < 100; ++i) {
        try { await fetch(origin); break; } catch { await new Promise((r) => setTimeout(r, 100)); }
    }
    browser = await puppeteer.launch({ executablePath: process.env.CHROMIUM || '/usr/bin/chromium', headless: true,
                                       args: ['--no-sandbox', '--disable-gpu', '--lang=en-US'] });
});

test.after(async () => {
    if (browser) await browser.close();
    if (server) server.kill();
});

async function openPage(hash, width = 1280, height = 720, language = 'en-US', base = origin) {
    const page = await browser.newPage();
    await page.setViewport({ width, height });
    await page.setExtraHTTPHeaders({ 'Accept-Language': language });
    await page.evaluateOnNewDocument((l) => Object.defineProperty(navigator, 'language', { get: () => l }), language);
    page.on('request', (r) => requests.push(r.url()));
    await page.goto(base + 'index.html' + hash);
    return page;
}
const fileBase = 'file://' + path.resolve(webDir) + '/';

async function digestOf(page) {
    await page.waitForFunction(() => document.getElementById('results-sha256').textContent.length === 64,
                               { timeout: 120000 });
    return page.$eval('#results-sha256', (e) => e.textContent);
}

test('a clicked target run from the page is the CLI run', async () => {
    const page = await openPage('#seed=7&population=100&generations=100');
    const box = await (await page.$('#plot')).boundingBox();
    // The base is the canvas's middle, one pixel a unit, y up: (-50, 120).
    await page.mouse.click(box.x + box.width / 2 - 50, box.y + box.height / 2 - 120);
    assert.match(await page.evaluate(() => location.hash), /target=-50%2C120|target=-50,120/);
    await page.click('#run');
    assert.strictEqual(await digestOf(page),
                       nativeDigest(['--seed', '7', '--population', '100', '--generations', '100', '--target', '-50,120']));
    const message = await page.$eval('#message', (e) => e.textContent);
    console.log(`# browser 100 x 100 run: ${message}`);
    await page.click('#optimum');
    await page.waitForFunction(() => document.getElementById('optimum-text').textContent.length > 0);
    console.log(`# browser optimum: ${await page.$eval('#optimum-text', (e) => e.textContent)}`);
    if (shots) await page.screenshot({ path: path.join(shots, 'web-en-1280x720.png') });
    await page.close();
});

const links = [
    'seed=7&population=30&generations=40&crossover=0.6&mutation=0.05&target=-50,120&encoding=gray&selection=tournament:3&crossover_operator=uniform&mutation_operator=creep:4&elitism=2',
    'seed=5&algorithm=random-search&population=40',
    'seed=9&selection=rank&crossover_operator=two-point&elitism=3',
    ...['ccd', 'fabrik', 'jacobian-transpose', 'dls', 'de', 'pso', 'cmaes', 'simulated-annealing', 'one-plus-one',
        'hill-climbing'].map((a, i) => `seed=${40 + i}&algorithm=${a}&target=${100 - 25 * i},${-60 + 15 * i}`),
];

for (const link of links) {
    test(`the link #${link}&run`, async () => {
        const page = await openPage(`#${link}&run`);
        assert.strictEqual(await digestOf(page), nativeDigest(linkFlags(link)));
        await page.close();
    });
}

// A run's run.json, whole or stopped, is kelvora-cli's but for its times; a stopped run's files are
// those of a run of the generations it finished.
test('run.json, and Stop keeps the generations run', async () => {
    const link = 'seed=21&population=300&generations=3000&target=-120,40';
    const page = await openPage(`#${link}&run`);
    await page.waitForFunction(() => /^\d+ \//.test(document.getElementById('generation').textContent) &&
                                     parseInt(document.getElementById('generation').textContent, 10) >= 20);
    await page.click('#stop');
    const digest = await digestOf(page);
    const record = JSON.parse(Buffer.from(await linkBytes(page, '#download-record')).toString());
    assert.ok(record.stopped && record.generationsRun >= 20 && record.generationsRun < 3000, JSON.stringify(record));
    const flags = linkFlags(link);
    flags[flags.indexOf('--generations') + 1] = String(record.generationsRun);
    assert.strictEqual(digest, nativeDigest(flags));
    assert.strictEqual(record.files['results.csv'].sha256, digest);
    await page.close();

    const whole = await openPage('#seed=8&algorithm=pso&population=30&run');
    await digestOf(whole);
    const web = JSON.parse(Buffer.from(await linkBytes(whole, '#download-record')).toString());
    assert.deepStrictEqual(timeless(web), timeless(nativeRun(['--seed', '8', '--algorithm', 'pso', '--population', '30']).record));
    await whole.close();
});

test('from file://, as from a USB stick', async () => {
    const link = 'seed=17&population=50&encoding=gray&target=30,-90';
    const page = await openPage(`#${link}&run`, 1280, 720, 'en-US', fileBase);
    assert.strictEqual(await digestOf(page), nativeDigest(linkFlags(link)));
    await page.close();
});

// An experiment link: its runs CSV is kelvora-cli experiment run's, its table's counts and its
// verdicts are kelvora-cli compare's, its report is offered.
const experiments = [
    { format: 'kelvora-experiment', version: 1, configurations: [{ label: 'classic' }, { mutation: [0.01, 0.05] }],
      seeds: '1..20', targets: [[68, 180], [-50, 120]] },
    { format: 'kelvora-experiment', version: 1, seeds: '5..16', targets: ['random:2'], epsilon: 2, baseline: 'all',
      configurations: [{ population: 30, encoding: 'gray', selection: 'tournament:3' },
                       { population: 30, algorithm: 'random-search' }, { population: 30, algorithm: 'de' }] },
];
for (const [i, file] of experiments.entries()) {
    test(`the experiment link ${i + 1}`, async () => {
        const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'kelvora-web-'));
        try {
            fs.writeFileSync(path.join(dir, 'e.kelvora.json'), JSON.stringify(file));
            execFileSync(cli, ['experiment', 'run', path.join(dir, 'e.kelvora.json'), '--output', path.join(dir, 'runs.csv'),
                               '--quiet']);
            const compared = JSON.parse(execFileSync(cli, ['compare', path.join(dir, 'runs.csv'), '--json',
                                                           ...(file.baseline ? ['--baseline', file.baseline] : [])]).toString());
            const page = await openPage('#experiment=' + encodeURIComponent(JSON.stringify(file)) + '&run');
            await page.waitForFunction(() => !document.getElementById('download-runs').hidden, { timeout: 120000 });
            assert.strictEqual(sha256(Buffer.from(await linkBytes(page, '#download-runs'))),
                               sha256(fs.readFileSync(path.join(dir, 'runs.csv'))));
            assert.deepStrictEqual(await page.$$eval('#verdicts li', (l) => l.map((e) => e.textContent)),
                                   compared.pairs.map((p) => p.verdict));
            const rows = await page.$$eval('#outcomes tbody tr', (r) => r.map((e) => [e.cells[0].textContent, e.cells[2].textContent]));
            for (const p of compared.pairs)
                for (const [side, k] of [['a', 0], ['b', 2]]) {
                    const row = rows.find((r) => r[0] === p[side].label);
                    assert.ok(row && row[1].startsWith(`${p.successes[k]}/${p.successes[k + 1]} `), `${p[side].label}: ${row}`);
                }
            assert.strictEqual(await page.$eval('#download-report', (a) => a.hidden), false);
            if (shots && i === 0) await page.screenshot({ path: path.join(shots, 'web-experiment-en-1280x720.png') });
            await page.close();
        } finally {
            fs.rmSync(dir, { recursive: true, force: true });
        }
    });
}

// The desktop window's words, Japanese (the source) and English (the translation), by context.
const WINDOW_WORDS = (() => {
    const xml = fs.readFileSync(path.join(__dirname, '../../res/translations/kelvora_en.ts'), 'utf8');
    const unescape = (text) => text.replace(/&(quot|apos|lt|gt|amp);/g,
                                            (_, e) => ({ quot: '"', apos: "'", lt: '<', gt: '>', amp: '&' })[e]);
    const words = {};
    for (const context of xml.split('<context>').slice(1)) {
        const name = /<name>kelvora::ui::(\w+)<\/name>/.exec(context)?.[1] ?? /<name>(\w+)<\/name>/.exec(context)[1];
        for (const m of context.matchAll(/<source>([^<]*)<\/source>\s*<translation>([^<]*)<\/translation>/g))
            words[`${name}|${unescape(m[1])}`] = { ja: unescape(m[1]), en: unescape(m[2]) };
    }
    return words;
})();
const ANY = { ja: '\u0000', en: '\u0000' };  // a part the test does not pin (the parser's English detail)
// The window's text of source in context, its %1, %2... filled with args (texts or such pairs).
function tr(context, source, ...args) {
    const w = WINDOW_WORDS[`${context}|${source}`];
    assert.ok(w, `no ${context} ${source}`);
    const fill = (l) => w[l].replace(/%(\d)/g, (_, n) => (typeof args[n - 1] === 'object' ? args[n - 1][l] : String(args[n - 1])));
    return { ja: fill('ja'), en: fill('en') };
}
const join = (...parts) => ({ ja: parts.map((p) => (typeof p === 'object' ? p.ja : p)).join(''),
                               en: parts.map((p) => (typeof p === 'object' ? p.en : p)).join('') });
const place = (p) => ({ ja: p.ja.replace(/: $/, ''), en: p.en.replace(/: $/, '') });
const EW = (s, ...a) => tr('ExperimentWindow', s, ...a);
const CT = (s, ...a) => tr('ConfigurationTable', s, ...a);
const cell = (row, column) => CT('%1 行目の「%2」: ', row, CT(column));

// Every fault of the experiment's fields and table, of an experiment file (a link) and of the lab's
// fields, shown in the window's words in both languages.
test('every fault in the window\'s words, Japanese and English', async () => {
    const listing = execFileSync(cli, ['sweep', '--seeds', '1', '--targets', 'random:1', '--population', '2',
                                       '--generations', '1', '--output', '-']).toString().trim().split('\n');
    const header = listing[0].split(','), row = listing[1].split(',');
    const drawn = `${row[header.indexOf('target_x')]},${row[header.indexOf('target_y')]}`;
    const algorithmError = (() => {
        try { execFileSync(cli, ['--algorithm', 'foo'], { stdio: 'pipe' }); } catch (e) { return e.stderr.toString().trim(); }
        return '';
    })().replace(/^kelvora-cli: --algorithm: /, '');
    const seeds = (w) => EW('シード: %1', w), targets = (w) => EW('目標点: %1', w);
    const notTarget = (v) => targets(EW('%1 は -199 から 199 までの整数の組 x,y ではありません', v));
    const file = (configurations, more = {}) => JSON.stringify({ format: 'kelvora-experiment', version: 1, configurations,
                                                                 seeds: '1..3', ...more });
    const rows = [
        [{ seeds: '' }, seeds(EW('空です'))],
        [{ seeds: '1,,2' }, seeds(EW('空の項目があります (%1)', '1,,2'))],
        [{ seeds: 'x' }, seeds(EW('%1 は 0 から 4294967295 までのシードか範囲 A..B ではありません', 'x'))],
        [{ seeds: '5..3' }, seeds(EW('範囲 %1 にシードがありません', '5..3'))],
        [{ seeds: '1,1' }, seeds(EW('シード %1 が 2 回あります', 1))],
        [{ seeds: '0..4294967295' }, seeds(EW('シードが %1 個あります: %2 個までです', 4294967296, 100000000))],
        [{ targets: '500,1' }, notTarget('500,1')],
        [{ targets: 'abc' }, notTarget('abc')],
        [{ targets: '1,1 1,1' }, targets(EW('目標点 %1 が 2 回あります', '1,1'))],
        [{ targets: 'random:0' }, targets(EW('%1 は K が 1 から %2 までの random:K ではありません', 'random:0', 10000))],
        [{ targets: 'random:1 random:2' }, targets(EW('random:K は 1 つだけ書けます (%1)', 'random:2'))],
        [{ targets: `${drawn} random:1` }, targets(EW('引いた目標点 %1 が、書かれた目標点にもあります', drawn))],
        [{ epsilon: '0' }, EW('ε: 0 より大きく 1000 以下の数値を入力してください。')],
        [{ epsilon: 'x' }, EW('ε: 0 より大きく 1000 以下の数値を入力してください。')],
        [{ rows: [{ population: '0' }] }, join(cell(1, '集団'), CT('1 から %1 までの整数を入力してください。', 10000))],
        [{ rows: [{}, { generations: 'x' }] }, join(cell(2, '世代'), CT('1 から %1 までの整数を入力してください。', 10000))],
        [{ rows: [{ crossover: '0' }] }, join(cell(1, '交差率'), CT('%1 から 1 までの数値を入力してください。', 0.001))],
        [{ rows: [{ mutation: '2' }] }, join(cell(1, '突然変異の確率'), CT('0 から 1 までの数値を入力してください。'))],
        [{ rows: [{ elitism: '-1' }] }, join(cell(1, 'エリート'), tr('CSolverDlg', '%1 から %2 までの整数を入力してください。', 0, 9999))],
        [{ rows: [{ algorithm: 'foo' }] }, join(cell(1, '手法'), algorithmError)],
        [{ rows: [{ selection: 'tournament:50' }] },
         join(CT('%1 行目: ', 1), CT('トーナメントの大きさ %1 は 2 から %2 (集団サイズ) まででなければなりません。', 50, 20))],
        [{ rows: [{ elitism: '20' }] }, join(CT('%1 行目: ', 1), CT('エリート数 %1 は 0 から %2 (集団サイズ − 1) まででなければなりません。', 20, 19))],
        [{ rows: [{ mutation: '0.1 0.1' }] }, CT('%1 行目の「%2」: 値 %3 が 2 回あります。', 1, CT('突然変異の確率'), 0.1)],
        [{ rows: [{}, {}] }, EW('同じ構成の行があります: %1。どちらかを変えるか削除してください。', EW('%1 行目と %2 行目', 1, 2))],
        [{ rows: [{ label: 'a' }, { label: 'a', population: '30' }] }, EW('%1: ラベル %2 が 2 回あります', place(cell(2, 'ラベル')), 'a')],
        [{ rows: [] }, EW('構成がありません。「追加」で加えてください。')],
        [{ link: '{"format"' }, EW('JSON ではありません (%1)', ANY)],
        [{ link: '{}' }, EW('実験ファイルではありません ("format": "%1" がありません)', 'kelvora-experiment')],
        [{ link: file([{}], { version: 2 }) }, EW('版 %1 は読めません (読めるのは %2 です)', 2, 1)],
        [{ link: file([{}], { x: 1 }) }, EW('%1: 知らないキーです', 'x')],
        [{ link: file([{}], { seeds: undefined }) }, EW('%1: このキーが要ります', 'seeds')],
        [{ link: file([{}], { seeds: 5 }) }, EW('%1: %2 ではなく %3 を書いてください', 'seeds', 5, ANY)],
        [{ link: file([{ mutation: 1.5 }]) }, EW('%1: %2 が範囲 %3 の外です', 'configurations[0].mutation', 1.5, '0..1')],
        [{ link: file([{ algorithm: 'foo' }]) }, EW('%1: %2 は使えません (%3)', 'configurations[0].algorithm', '"foo"', ANY)],
        [{ link: file([{ population: 5, elitism: 5 }]) },
         join('configurations[0]: ', CT('エリート数 %1 は 0 から %2 (集団サイズ − 1) まででなければなりません。', 5, 4))],
        [{ link: file([{}], { seeds: '2,2' }) }, join('seeds: ', EW('シード %1 が 2 回あります', 2))],
        [{ link: file([{}], { problem: { links: [1, 2, 3] } }) },
         EW('%1: 解けるのはリンク 60, 100, 40 の腕だけです (%2)', 'problem.links', ANY)],
        [{ link: file([{}, {}]) }, EW('%1: %2 と同じ構成です', 'configurations[1]', 'configurations[0]')],
        [{ link: file([{ label: 'a' }, { label: 'a', population: 30 }]) }, EW('%1: ラベル %2 が 2 回あります', 'configurations[1].label', 'a')],
        [{ link: file([{}], { baseline: 'zz' }) }, EW('%1: 基準 %2 はどの構成のラベルでもありません', 'baseline', 'zz')],
        [{ lab: { population: '0' } }, tr('CSolverDlg', '%1 から %2 までの整数を入力してください。', 1, 10000)],
        [{ lab: { generations: 'x' } }, tr('CSolverDlg', '%1 から %2 までの整数を入力してください。', 1, 10000)],
        [{ lab: { crossover: '2' } }, tr('CSolverDlg', '%1 から %2 までの数値を入力してください。', 0.001, 1)],
        [{ lab: { mutation: '-1' } }, tr('CSolverDlg', '%1 から %2 までの数値を入力してください。', 0, 1)],
        [{ lab: { seed: '-1' } }, tr('CSolverDlg', '%1 から %2 までの整数を入力してください。', 0, 4294967295)],
        [{ lab: { selection: 'tournament:50' } }, CT('トーナメントの大きさ %1 は 2 から %2 (集団サイズ) まででなければなりません。', 50, 20)],
        [{ lab: { elitism: '20' } }, CT('エリート数 %1 は 0 から %2 (集団サイズ − 1) まででなければなりません。', 20, 19)],
        [{ lab: { selection: 'x' } }, join(tr('OperatorsView', '選択'), ': ', ANY)],
    ];
    const page = await openPage('#experiment=', 1280, 720, 'ja-JP');
    await page.waitForFunction(() => !document.getElementById('experiment').hidden);
    const pattern = (text) => '^' + text.split('\u0000').map((p) => p.replace(/[.*+?^${}()|[\]\\]/g, '\\$&')).join('.+') + '$';
    for (const [state, expected] of rows) {
        const id = state.lab ? 'message' : 'experiment-message';
        await page.evaluate((s) => {
            $('message').textContent = $('experiment-message').textContent = '';
            if (s.lab) {
                form.reset();
                for (const [key, value] of Object.entries(s.lab)) form.elements[key].value = value;
                run();
            } else if (s.link) {
                worker.postMessage({ read: s.link, source: 'link' });
            } else {
                $('configurations').tBodies[0].replaceChildren();
                for (const r of s.rows ?? [{}]) addRow(r);
                $('seeds').value = s.seeds ?? '1..3';
                $('targets').value = s.targets ?? '68,180';
                $('epsilon').value = s.epsilon ?? '0.5';
                writeExperimentAddress();
            }
        }, state);
        for (const l of ['ja', 'en']) {
            const want = pattern(expected[l]).slice(state.link ? 1 : 0);  // a link's after the page's own words
            try {
                await page.waitForFunction((i, w) => new RegExp(w).test(document.getElementById(i).textContent), { timeout: 5000 }, id, want);
            } catch {
                assert.fail(`${JSON.stringify(state)} ${l}: "${await page.$eval('#' + id, (e) => e.textContent)}", not /${want}/`);
            }
            await page.click('#language');
        }
    }
    await page.close();
});

test('Japanese at 1280x720 and on a tablet', async () => {
    for (const [w, h] of [[1280, 720], [820, 1180]]) {
        const page = await openPage('#seed=3&run', w, h, 'ja-JP');
        await digestOf(page);
        assert.strictEqual(await page.$eval('#run', (e) => e.textContent), '計算');
        if (shots) await page.screenshot({ path: path.join(shots, `web-ja-${w}x${h}.png`) });
        await page.close();
    }
});

test('no request leaves the folder', () => {
    assert.ok(requests.length > 0);
    for (const url of requests)
        assert.ok(url.startsWith(origin) || url.startsWith(fileBase) || url.startsWith('blob:') || url.startsWith('data:'), url);
});
