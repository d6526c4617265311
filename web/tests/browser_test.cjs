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

test('a fault of the experiment is named', async () => {
    const page = await openPage('#experiment=' + encodeURIComponent(JSON.stringify(
        { format: 'kelvora-experiment', version: 1, configurations: [{ mutation: 1.5 }], seeds: '1..3' })));
    await page.waitForFunction(() => document.getElementById('experiment-message').textContent.length > 0);
    assert.match(await page.$eval('#experiment-message', (e) => e.textContent), /configurations\[0\]\.mutation: 1\.5/);
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
