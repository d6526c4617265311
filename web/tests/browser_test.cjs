// The web lab in the system's chromium, headless: a clicked target run from the page and hidden
// run links give results.csv's SHA-256 of kelvora-cli's run, and no request leaves the folder.
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

function nativeDigest(args) {
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'kelvora-web-'));
    try {
        execFileSync(cli, [...args, '--quiet', '--no-run-json', '--output-dir', dir]);
        return crypto.createHash('sha256').update(fs.readFileSync(path.join(dir, 'results.csv'))).digest('hex');
    } finally {
        fs.rmSync(dir, { recursive: true, force: true });
    }
}

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

async function openPage(hash, width = 1280, height = 720, language = 'en-US') {
    const page = await browser.newPage();
    await page.setViewport({ width, height });
    await page.setExtraHTTPHeaders({ 'Accept-Language': language });
    await page.evaluateOnNewDocument((l) => Object.defineProperty(navigator, 'language', { get: () => l }), language);
    page.on('request', (r) => requests.push(r.url()));
    await page.goto(origin + 'index.html' + hash);
    return page;
}

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
    for (const url of requests) assert.ok(url.startsWith(origin) || url.startsWith('blob:' + origin.slice(0, -1)), url);
});
