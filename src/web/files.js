// SPDX-License-Identifier: MIT
// Placed inside the module (emscripten's --post-js). The workbook is written
// into emscripten's memory file system, in many small writes to files that
// grow to tens of MiB. The file system grows a file's storage by an eighth
// at a time beyond 1 MiB, copying all of it each time: for the largest
// catalogue that copying took half of the workbook's time. Growing by
// doubling copies each byte about once more.
(() => {
  const expand = MEMFS.expandFileStorage;
  MEMFS.expandFileStorage = (node, capacity) => {
    const previous = node.contents ? node.contents.length : 0;
    expand(node, Math.max(capacity, previous < capacity ? previous * 2 : 0));
  };
})();
