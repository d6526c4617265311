// The module's speed in node's V8 (the browser's engine): a 100 x 100 run and the exact optimum
// of (-50, 120), median of 11 each. Usage: node bench.cjs WEB_DIR
'use strict';
const fs = require('node:fs');
const path = require('node:path');

const webDir = process.argv[2] || 'build/web';
const createKelvora = require(path.resolve(webDir, 'kelvora.js'));
const median = (a) => a.sort((x, y) => x - y)[a.length >> 1];
const timed = (f) => { const t = performance.now(); f(); return performance.now() - t; };

(async () => {
    const m = await createKelvora();
    m.FS.mkdir('/run');
    const run = [], optimum = [];
    for (let i = 0; i < 11; ++i)
        run.push(timed(() => m.ccall('kv_run', 'number', ['string', 'string', 'number'],
                                     ['--seed\n7\n--population\n100\n--generations\n100', '/run', 0])));
    for (let i = 0; i < 11; ++i)
        optimum.push(timed(() => m.ccall('kv_optimum', 'string', ['number', 'number'], [-50, 120])));
    console.log(`100 x 100 run ${median(run).toFixed(1)} ms; optimum of (-50, 120) ${median(optimum).toFixed(2)} ms`);
})();
