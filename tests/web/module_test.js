// SPDX-License-Identifier: MIT
// The page's WebAssembly module under Node against the native tool: for each
// row of the table, both convert the same files (the module given them in
// reverse byte order of their names, as a user may choose them), and the exit
// status, the messages (the native tool's without their directory) and every
// CSV file written must be the same, byte for byte.
//
//   node module_test.js PAGE_DIR NATIVE_REELPORT SAMPLE_DIR SCRATCH_DIR
'use strict';

const fs = require('fs');
const path = require('path');
const {spawnSync} = require('child_process');

const [pageDir, reelport, sampleDir, scratch] = process.argv.slice(2).map((arg) => path.resolve(arg));
const createReelport = require(path.join(pageDir, 'reelport.js'));
const {reelportConvert} = require(path.join(pageDir, 'convert.js'));

const tapes = fs.readFileSync(path.join(sampleDir, 'CinecaseTapes.PDB'));
const progs = fs.readFileSync(path.join(sampleDir, 'CinecaseProgs.PDB'));
const cutProgs = progs.subarray(0, 1000);  // a record's data runs past the end
const sample = {'CinecaseTapes.PDB': tapes, 'CinecaseProgs.PDB': progs};

// Each row: the files of the directory, and the options of the run.
const cases = [
  {what: 'the sample', files: sample},
  {what: 'the sample', options: ['--utf8'], files: sample},
  {what: 'a cut programme database', files: {'CinecaseTapes.PDB': tapes, 'CinecaseProgs.PDB': cutProgs}},
  {what: 'a cut programme database, found in other case', options: ['--salvage', '--utf8'],
   files: {'cinecasetapes.pdb': tapes, 'CINECASEPROGS.PDB': cutProgs}},
  {what: 'the exact name before a case variant, the first variant in byte order', options: ['--salvage'],
   files: {'CinecaseTapes.PDB': tapes, 'cinecasetapes.pdb': cutProgs, 'cinecaseProgs.pdb': progs,
           'CINECASEPROGS.PDB': cutProgs, 'CinecaseProgs.pdbx': tapes}},
  {what: 'no programme database', files: {'CinecaseTapes.PDB': tapes}},
  {what: 'no tape database', files: {'CinecaseProgs.PDB': progs}},
];

// A run's ending as one text: status, messages, and each CSV file written with its bytes.
const ending = (status, messages, csv) => JSON.stringify({status, messages,
  csv: csv.map(([name, bytes]) => [name, Buffer.from(bytes).toString('latin1')]).sort()});

function nativeRun(directory, options) {
  const log = path.join(directory, '..', 'native.log');
  const out = fs.openSync(log, 'w');
  // Both streams into one file, so the messages keep the order they were printed in.
  const run = spawnSync(reelport, [...options, directory], {stdio: ['ignore', out, out]});
  fs.closeSync(out);
  const csv = ['CinecaseTapes.CSV', 'CinecaseProgs.CSV'].map((name) => [name, path.join(directory, name)])
    .filter(([, file]) => fs.existsSync(file)).map(([name, file]) => [name, fs.readFileSync(file)]);
  return ending(run.status, fs.readFileSync(log, 'latin1').split(directory + '/').join(''), csv);
}

(async () => {
  const module = await createReelport();
  let failures = 0;
  const report = (ok, what) => { console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`); failures += ok ? 0 : 1; };
  for (const [index, row] of cases.entries()) {
    const directory = path.join(scratch, String(index), 'catalogue');
    fs.rmSync(path.dirname(directory), {recursive: true, force: true});
    fs.mkdirSync(directory, {recursive: true});
    for (const [name, bytes] of Object.entries(row.files)) fs.writeFileSync(path.join(directory, name), bytes);
    const options = row.options || [];
    const expected = nativeRun(directory, options);
    const files = Object.keys(row.files).sort().reverse().map((name) => ({name, read: () => row.files[name]}));
    const result = await reelportConvert(module, files, options.includes('--salvage'), options.includes('--utf8'));
    const got = ending(result.status, result.messages, result.csv.map(({name, bytes}) => [name, bytes]));
    report(got === expected, `${row.what} ${options.join(' ')}` + (got === expected ? '' : `:\n  ${got}\n  native ${expected}`));
  }
  // No memory for the names: refused, nothing written at address 0. A start
  // that throws: the names' memory is given back all the same.
  const freed = [];
  const starved = {...module, _malloc: () => 0, _free: (at) => freed.push(at)};
  const failing = {...module, _reelportStart: () => { throw new Error('start'); }, _free: (at) => freed.push(at)};
  const sampleFiles = Object.keys(sample).map((name) => ({name, read: () => sample[name]}));
  for (const [what, stub, expected] of [['no memory', starved, 0], ['failed start', failing, 1]]) {
    const refused = await reelportConvert(stub, sampleFiles, false, false).then(() => false, () => true);
    report(refused && freed.length === expected, `${what}: refused ${refused}, names freed ${freed.length} times`);
    freed.length = 0;
  }
  process.exit(failures === 0 ? 0 : 1);
})();
