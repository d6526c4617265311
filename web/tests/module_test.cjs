// The worker's module against the native kelvora-cli: for each configuration the two result
// files must be the same bytes. Usage: node module_test.cjs KELVORA_CLI WEB_DIR
'use strict';
const assert = require('node:assert');
const { execFileSync } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const test = require('node:test');

const [cli, webDir] = process.argv.slice(2);
const createKelvora = require(path.resolve(webDir, 'kelvora.js'));

// Every method, every operator choice, and the ranges' ends.
const rows = [
    '--seed 7 --population 100 --generations 100',
    '--seed 1 --population 1 --generations 1',
    '--seed 4294967295 --population 30 --generations 40 --crossover 0.6 --mutation 0.05 --target -50,120',
    '--seed 3 --target 199,-199 --mutation 0 --crossover 1',
    '--seed 11 --population 50 --encoding gray --selection tournament:3 --crossover-operator uniform --mutation-operator creep:4 --elitism 2',
    '--seed 12 --selection rank --crossover-operator two-point --mutation-operator creep:128 --elitism 19',
    '--seed 13 --selection tournament:20 --crossover-operator one-point --mutation-operator bit-flip',
    '--seed 14 --algorithm random-search --population 40',
    ...['ccd', 'fabrik', 'jacobian-transpose', 'dls', 'de', 'pso', 'cmaes', 'simulated-annealing', 'one-plus-one',
        'hill-climbing'].map((a, i) => `--seed ${20 + i} --algorithm ${a} --target ${-150 + 30 * i},${90 - 20 * i}`),
    '--seed 31 --algorithm one-plus-one --encoding gray',
    '--seed 32 --algorithm hill-climbing --encoding gray --mutation-operator creep:8',
];

let kelvora;
test.before(async () => {
    kelvora = await createKelvora();
    kelvora.FS.mkdir('/run');
});

for (const row of rows) {
    test(row, () => {
        const args = row.split(' ');
        const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'kelvora-web-'));
        try {
            execFileSync(cli, [...args, '--quiet', '--no-run-json', '--output-dir', dir]);
            assert.strictEqual(kelvora.ccall('kv_run', 'number', ['string', 'string', 'number'], [args.join('\n'), '/run', 0]), 0,
                               kelvora.ccall('kv_message', 'string', [], []));
            for (const name of ['results.csv', 'fitness.csv']) {
                const native = fs.readFileSync(path.join(dir, name));
                const web = Buffer.from(kelvora.FS.readFile('/run/' + name));
                assert.ok(native.length > 0, name);
                assert.ok(native.equals(web), `${name} differs (${native.length} and ${web.length} bytes)`);
            }
        } finally {
            fs.rmSync(dir, { recursive: true, force: true });
        }
    });
}

test('a refused flag is named in the CLI words', () => {
    assert.strictEqual(kelvora.ccall('kv_run', 'number', ['string', 'string', 'number'], ['--seed\n1\n--population\n0', '/run', 0]), 2);
    assert.match(kelvora.ccall('kv_message', 'string', [], []), /population/);
});

test('the optimum of a target is the CLI optimum', () => {
    for (const [x, y] of [[-50, 120], [68, 180], [199, 199], [0, 0], [-199, -5]]) {
        const out = execFileSync(cli, ['optimum', '--target', `${x},${y}`, '--json']).toString();
        const native = JSON.parse(out);
        const [a1, a2, a3, distance] = kelvora.ccall('kv_optimum', 'string', ['number', 'number'], [x, y]).split(',');
        assert.deepStrictEqual([+a1, +a2, +a3], native.pose, out);
        assert.strictEqual(+distance, native.distance, out);
    }
});
