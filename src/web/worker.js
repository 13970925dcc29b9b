// SPDX-License-Identifier: MIT
// The worker's side of a conversion, in the worker script reelport.js after
// the module and convert.js (WorkerScript.cmake puts them together): one
// message from the page with the files chosen and the options, one answer
// with the result. Each file written goes to the page as a Blob made here:
// copying several megabytes into one takes longer than the page may stop
// for. The page ends the worker after the answer, and the module's memory
// goes with it.

// The module compiles while the page sends the files.
const reelportReady = createReelport();

self.onmessage = async ({data: {files, salvage, output}}) => {
  try {
    const reelport = await reelportReady;
    const chosen = files.map((file) => ({name: file.name, read: () => file.arrayBuffer()}));
    const result = await reelportConvert(reelport, chosen, salvage, reelportOutputs[output]);
    result.files = result.files.map(({name, type, bytes}) => ({name, blob: new Blob([bytes], {type})}));
    self.postMessage({result});
  } catch (error) {
    self.postMessage({error: String(error)});
  }
};
