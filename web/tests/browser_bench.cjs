// The web edition's speed goals side by side with the native kelvora-cli, in the system's chromium,
// headless: a 100 x 100 run (Run to the digest, and the run in the worker), the exact optimum of
// (-50, 120) (the click to the pose shown, and in the worker), and an experiment of 6
// configurations x 100 seeds of 100 x 100 (Run to the table). Medians. Then, in a DevTools trace of
// one more run and one more experiment, the longest task of the page's main thread: its wall time
// (what a long-task entry reports) and the thread's own time in it (wall time less the time the
// thread waited for a core, which a loaded machine stretches).
// Usage: node browser_bench.cjs KELVORA_CLI WEB_DIR [REPEATS]
'use strict';
const { execFileSync, spawn } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const puppeteer = require('puppeteer-core');

const [cliArgument, webDir, repeats = '7'] = process.argv.slice(2);
const cli = path.resolve(cliArgument);
const median = (a) => [...a].sort((x, y) => x - y)[a.length >> 1];
const n = Number(repeats);

function nativeMs(args) {
    const times = [];
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'kelvora-bench-'));
    for (let i = 0; i < n; ++i) {
        const t = process.hrtime.bigint();
        execFileSync(cli, args, { cwd: dir });
        times.push(Number(process.hrtime.bigint() - t) / 1e6);
    }
    fs.rmSync(dir, { recursive: true, force: true });
    return median(times);
}

// The longest main-thread task while work runs, {wall, thread} in ms, from a DevTools trace.
async function longestTask(page, work) {
    await page.tracing.start({ categories: ['devtools.timeline', 'disabled-by-default-devtools.timeline'] });
    await work();
    const events = JSON.parse(await page.tracing.stop()).traceEvents;
    const main = new Set(events.filter((e) => e.name === 'thread_name' && e.args.name === 'CrRendererMain')
                               .map((e) => `${e.pid}:${e.tid}`));
    const tasks = events.filter((e) => e.name === 'RunTask' && e.ph === 'X' && main.has(`${e.pid}:${e.tid}`));
    return { wall: Math.max(0, ...tasks.map((e) => e.dur / 1000)), thread: Math.max(0, ...tasks.map((e) => e.tdur / 1000)) };
}

(async () => {
    const port = 20000 + Math.floor(Math.random() * 20000);
    const server = spawn('python3', ['-m', 'http.server', String(port), '--bind', '127.0.0.1', '--directory', webDir],
                         { stdio: 'ignore' });
    const origin = `http://127.0.0.1:${port}/`;
    for (let i = 0; i < 100; ++i) {
        try { await fetch(origin); break; } catch { await new Promise((r) => setTimeout(r, 100)); }
    }
    const browser = await puppeteer.launch({ executablePath: process.env.CHROMIUM || '/usr/bin/chromium', headless: true,
                                             args: ['--no-sandbox', '--disable-gpu', '--lang=en-US'] });
    try {
        const page = await browser.newPage();
        await page.goto(origin + 'index.html#seed=7&population=100&generations=100&target=-50,120');
        const run = [], worker = [], click = [], inWorker = [];
        for (let i = 0; i < n; ++i) {
            const t = performance.now();
            await page.click('#run');
            await page.waitForFunction(() => document.getElementById('results-sha256').textContent.length === 64);
            run.push(performance.now() - t);
            worker.push(parseFloat((await page.$eval('#message', (e) => e.textContent)).match(/\((\d+)/)[1]));
            await page.evaluate(() => { document.getElementById('optimum-text').textContent = ''; });
            const c = performance.now();
            await page.click('#optimum');
            await page.waitForFunction(() => document.getElementById('optimum-text').textContent.length > 0);
            click.push(performance.now() - c);
            inWorker.push(parseFloat((await page.$eval('#optimum-text', (e) => e.textContent)).match(/\(([\d.]+) ms\)/)[1]));
        }
        const runTask = await longestTask(page, async () => {
            await page.click('#run');
            await page.waitForFunction(() => document.getElementById('results-sha256').textContent.length === 64);
        });
        const file = { format: 'kelvora-experiment', version: 1, seeds: '1..100',
                       configurations: [0.01, 0.02, 0.05, 0.1, 0.15, 0.2].map((m) => ({ population: 100, generations: 100, mutation: m })) };
        const experiment = [];
        for (let i = 0; i < Math.max(3, n >> 1); ++i) {
            const p = await browser.newPage();
            await p.goto(origin + 'index.html#experiment=' + encodeURIComponent(JSON.stringify(file)));
            await p.waitForFunction(() => document.getElementById('save-experiment').href.startsWith('blob:'));
            const t = performance.now();
            await p.click('#experiment-run');
            await p.waitForFunction(() => document.querySelector('#outcomes tbody').rows.length === 6, { timeout: 120000 });
            experiment.push(performance.now() - t);
            await p.close();
        }
        const p = await browser.newPage();
        await p.goto(origin + 'index.html#experiment=' + encodeURIComponent(JSON.stringify(file)));
        await p.waitForFunction(() => document.getElementById('save-experiment').href.startsWith('blob:'));
        const experimentTask = await longestTask(p, async () => {
            await p.click('#experiment-run');
            await p.waitForFunction(() => document.querySelector('#outcomes tbody').rows.length === 6, { timeout: 120000 });
        });
        const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'kelvora-bench-'));
        fs.writeFileSync(path.join(dir, 'six.kelvora.json'), JSON.stringify(file));
        const nativeRun = nativeMs(['--seed', '7', '--population', '100', '--generations', '100', '--target', '-50,120',
                                    '--quiet', '--no-run-json']);
        const nativeOptimum = nativeMs(['optimum', '--target', '-50,120']);
        const nativeExperiment = nativeMs(['experiment', 'run', path.join(dir, 'six.kelvora.json'), '--threads', '1',
                                           '--quiet', '--output', path.join(dir, 'runs.csv')]);
        fs.rmSync(dir, { recursive: true, force: true });
        const f = (x) => x.toFixed(1);
        console.log(`100 x 100 run: chromium ${f(median(run))} ms Run to digest, ${f(median(worker))} ms in the worker; ` +
                    `native kelvora-cli process ${f(nativeRun)} ms`);
        console.log(`exact optimum of (-50, 120): chromium ${f(median(click))} ms click to pose, ` +
                    `${median(inWorker).toFixed(2)} ms in the worker; native kelvora-cli optimum process ${f(nativeOptimum)} ms`);
        console.log(`experiment 6 x 100 seeds of 100 x 100: chromium ${f(median(experiment))} ms Run to table; ` +
                    `native kelvora-cli experiment run --threads 1 ${f(nativeExperiment)} ms`);
        console.log(`longest main-thread task: a run ${f(runTask.wall)} ms (${f(runTask.thread)} ms of the thread's own time), ` +
                    `an experiment ${f(experimentTask.wall)} ms (${f(experimentTask.thread)} ms of its own)`);
    } finally {
        await browser.close();
        server.kill();
    }
})();
