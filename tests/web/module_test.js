// SPDX-License-Identifier: MIT
// The page's WebAssembly module under Node against the native tool: for each
// row of the table, both convert the same files (the module given them in
// reverse byte order of their names, as a user may choose them), and the exit
// status, the messages (the native tool's without their directory) and every
// file written must be the same, byte for byte.
//
//   node module_test.js MODULE_DIR NATIVE_REELPORT SAMPLE_DIR SCRATCH_DIR
//
// MODULE_DIR holds the module (reelport.js, emscripten's) and convert.js.
'use strict';

const fs = require('fs');
const path = require('path');
const {spawnSync} = require('child_process');

const [moduleDir, reelport, sampleDir, scratch] = process.argv.slice(2).map((arg) => path.resolve(arg));
const createReelport = require(path.join(moduleDir, 'reelport.js'));
const {reelportConvert, reelportOutputs} = require(path.join(moduleDir, 'convert.js'));

const tapes = fs.readFileSync(path.join(sampleDir, 'CinecaseTapes.PDB'));
const progs = fs.readFileSync(path.join(sampleDir, 'CinecaseProgs.PDB'));
const cut = progs.subarray(0, 1500);  // records 18 on run past the end
const sample = {'CinecaseTapes.PDB': tapes, 'CinecaseProgs.PDB': progs};

// Each row: the options of the run, and the files of the directory.
const cases = [
  [[], sample], [['--utf8'], sample], [['--xlsx'], sample],
  [['--salvage', '--xlsx'], {'CinecaseTapes.PDB': tapes, 'CinecaseProgs.PDB': cut}],
  [[], {'CinecaseTapes.PDB': tapes, 'CinecaseProgs.PDB': cut}],  // the tape list, then the failure
  [['--salvage', '--utf8'], {'cinecasetapes.pdb': tapes, 'CINECASEPROGS.PDB': cut}],  // found in other case
  // The exact name before a case variant, the first variant in byte order.
  [['--salvage'], {'CinecaseTapes.PDB': tapes, 'cinecasetapes.pdb': cut, 'cinecaseProgs.pdb': progs,
                   'CINECASEPROGS.PDB': cut, 'CinecaseProgs.pdbx': tapes}],
  [[], {'CinecaseTapes.PDB': tapes}], [[], {'CinecaseProgs.PDB': progs}],  // a database missing
];
const outputs = ['CinecaseTapes.CSV', 'CinecaseProgs.CSV', 'Cinecase.xlsx'];

// A run's whole ending as one text: its status, its messages, and each file it wrote.
const ending = (status, messages, files) => [`status ${status}`, messages,
  ...Object.keys(files).sort().map((name) => `${name}: ${Buffer.from(files[name]).toString('base64')}`)].join('\n');

function nativeRun(directory, options) {
  const log = path.join(directory, '..', 'native.log');
  const out = fs.openSync(log, 'w');
  // Both streams into one file, so the messages keep the order they were printed in.
  const run = spawnSync(reelport, [...options, directory], {stdio: ['ignore', out, out]});
  fs.closeSync(out);
  const files = Object.fromEntries(outputs.filter((name) => fs.existsSync(path.join(directory, name)))
    .map((name) => [name, fs.readFileSync(path.join(directory, name))]));
  return ending(run.status, fs.readFileSync(log, 'latin1').split(directory + '/').join(''), files);
}

(async () => {
  const module = await createReelport();
  let failures = 0;
  const report = (ok, what) => { console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`); failures += ok ? 0 : 1; };
  for (const [index, [options, catalogue]] of cases.entries()) {
    const directory = path.join(scratch, String(index), 'catalogue');
    fs.rmSync(path.dirname(directory), {recursive: true, force: true});
    fs.mkdirSync(directory, {recursive: true});
    for (const [name, bytes] of Object.entries(catalogue)) fs.writeFileSync(path.join(directory, name), bytes);
    const expected = nativeRun(directory, options);
    const files = Object.keys(catalogue).sort().reverse().map((name) => ({name, read: () => catalogue[name]}));
    const output = options.includes('--xlsx') ? reelportOutputs.workbook
      : options.includes('--utf8') ? reelportOutputs.utf8 : reelportOutputs.palm;
    const result = await reelportConvert(module, files, options.includes('--salvage'), output);
    const found = ending(result.status, result.messages,
      Object.fromEntries(result.files.map(({name, bytes}) => [name, bytes])));
    const differs = found.split('\n').find((line, at) => line !== expected.split('\n')[at]);
    report(found === expected, `${Object.keys(catalogue).join(' ')} ${options.join(' ')}` +
      (found === expected ? '' : `\n     differs at: ${String(differs).slice(0, 200)}`));
  }
  // No memory for the names: refused, nothing written at address 0. A start
  // that throws: the names' memory is given back all the same.
  const freed = [];
  const starved = {...module, _malloc: () => 0, _free: (at) => freed.push(at)};
  const failing = {...module, _reelportStart: () => { throw new Error('start'); }, _free: (at) => freed.push(at)};
  const sampleFiles = Object.keys(sample).map((name) => ({name, read: () => sample[name]}));
  for (const [what, stub, frees] of [['no memory', starved, 0], ['failed start', failing, 1]]) {
    const refused = await reelportConvert(stub, sampleFiles, false, reelportOutputs.palm).then(() => false, () => true);
    report(refused && freed.splice(0).length === frees, `${what}: refused, names freed ${frees} times`);
  }
  process.exit(failures === 0 ? 0 : 1);
})();
