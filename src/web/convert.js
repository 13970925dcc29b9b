// SPDX-License-Identifier: MIT
// One conversion with the WebAssembly module (reelport.js): finds the two
// databases among the files chosen, by name ignoring ASCII case as the command
// line finds them in a directory, reads only those two, and returns what the
// command line prints and writes. The page and the Node test both convert
// through reelportConvert.
'use strict';

const reelportCsvNames = ['CinecaseTapes.CSV', 'CinecaseProgs.CSV'];

// `reelport`: the module createReelport() gives. `files`: the files chosen, as
// objects {name, read}, read() giving the bytes (an ArrayBuffer or a
// Uint8Array). Resolves to {status, messages, csv}: the exit status, the
// messages in the order the command line prints them, and for each CSV file
// written {name, bytes}.
async function reelportConvert(reelport, files, salvage, utf8) {
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
    const status = reelport._reelportConvert(run, salvage ? 1 : 0, utf8 ? 1 : 0);
    const output = (which) => {
      const size = reelport._reelportSize(run, which);
      if (size < 0) return null;
      const start = reelport._reelportText(run, which);
      return reelport.HEAPU8.slice(start, start + size);
    };
    const csv = [];
    reelportCsvNames.forEach((name, index) => {
      const bytes = output(index + 1);
      if (bytes !== null) csv.push({name, bytes});
    });
    return {status, messages: new TextDecoder().decode(output(0)), csv};
  } finally {
    reelport._reelportRelease(run);
  }
}

if (typeof module !== 'undefined') module.exports = {reelportConvert};
