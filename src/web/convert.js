// SPDX-License-Identifier: MIT
// One conversion with the WebAssembly module (reelport.js): finds the two
// databases among the files chosen, by name ignoring ASCII case as the command
// line finds them in a directory, reads only those two, and returns what the
// command line prints and writes, with the verdict in plain words and the
// first rows of both lists. The page's worker (worker.js) and the Node test
// both convert through reelportConvert.
'use strict';

// What the module's texts are (src/web/WebEntry.cpp), and the files among them.
const reelportTexts = {messages: 0, tapesCsv: 1, progsCsv: 2, workbook: 3, verdict: 4, tapesPreview: 5, progsPreview: 6};
const reelportFiles = [
  {text: reelportTexts.tapesCsv, name: 'CinecaseTapes.CSV', type: 'text/csv'},
  {text: reelportTexts.progsCsv, name: 'CinecaseProgs.CSV', type: 'text/csv'},
  {text: reelportTexts.workbook, name: 'Cinecase.xlsx',
   type: 'application/vnd.openxmlformats-officedocument.spreadsheetml.sheet'},
];
// The outputs, as the module numbers them: the CSV files in the handheld's
// bytes (Windows-1252) or in UTF-8, or the workbook.
const reelportOutputs = {palm: 0, utf8: 1, workbook: 2};

// `reelport`: the module createReelport() gives. `files`: the files chosen, as
// objects {name, read}, read() giving the bytes (an ArrayBuffer or a
// Uint8Array). `output`: one of reelportOutputs. Resolves to {status,
// messages, verdict, offerSalvage, files, rows, preview}: the exit status,
// the messages in the order the command line prints them, the verdict,
// whether it offers salvage, each file written as {name, type, bytes}, the
// rows written of both lists {tapes, progs} (-1 for a list not finished), and
// the first rows of both lists as UTF-8 CSV text {tapes, progs} (empty after
// a failure).
async function reelportConvert(reelport, files, salvage, output) {
  const encoder = new TextEncoder();
  const names = files.map((file) => encoder.encode(file.name + '\0'));
  const namesAt = reelport._malloc(Math.max(1, names.reduce((size, name) => size + name.length, 0)));
  if (namesAt === 0) throw new Error('not enough memory for the names of the files chosen');
  let run;
  try {
    let at = namesAt;
    for (const name of names) {
      reelport.HEAPU8.set(name, at);
      at += name.length;
    }
    run = reelport._reelportStart(namesAt, files.length);
  } finally {
    reelport._free(namesAt);
  }
  try {
    for (const which of [0, 1]) {
      const found = reelport._reelportFound(run, which);
      if (found < 0) continue;
      const bytes = new Uint8Array(await files[found].read());
      const room = reelport._reelportDatabase(run, which, bytes.length);
      // HEAPU8 taken after the call: memory may have grown. No room: the run reports it.
      if (room !== 0) reelport.HEAPU8.set(bytes, room);
    }
    const status = reelport._reelportConvert(run, salvage ? 1 : 0, output);
    const bytesOf = (which) => {
      const size = reelport._reelportSize(run, which);
      if (size < 0) return null;
      const start = reelport._reelportText(run, which);
      return reelport.HEAPU8.slice(start, start + size);
    };
    const textOf = (which) => new TextDecoder().decode(bytesOf(which) || new Uint8Array());
    const written = reelportFiles.map(({text, name, type}) => ({name, type, bytes: bytesOf(text)}))
      .filter((file) => file.bytes !== null);
    return {
      status, messages: textOf(reelportTexts.messages), verdict: textOf(reelportTexts.verdict),
      offerSalvage: reelport._reelportOffersSalvage(run) !== 0, files: written,
      rows: {tapes: reelport._reelportRows(run, 0), progs: reelport._reelportRows(run, 1)},
      preview: {tapes: textOf(reelportTexts.tapesPreview), progs: textOf(reelportTexts.progsPreview)},
    };
  } finally {
    reelport._reelportRelease(run);
  }
}

if (typeof module !== 'undefined') module.exports = {reelportConvert, reelportOutputs};
