# SPDX-License-Identifier: MIT
# Writes the page's worker script: emscripten's loader with the WebAssembly
# in it, convert.js and worker.js, in one function, reelportWorker. The page
# loads that file with a <script> tag and starts the worker from a blob: URL
# of the function's own text, since browsers refuse a worker from a file://
# URL and the page must work opened from disk as well as from a server.
#
#   cmake -DMODULE=emscripten's reelport.js -DCONVERT=convert.js -DWORKER=worker.js -DOUTPUT=FILE -P WorkerScript.cmake
file(READ "${MODULE}" module)
file(READ "${CONVERT}" convert)
file(READ "${WORKER}" worker)
file(WRITE "${OUTPUT}.part"
  "// SPDX-License-Identifier: MIT\n"
  "// Made by src/web/WorkerScript.cmake from emscripten's reelport.js, convert.js and worker.js.\n"
  "// The page (page.js) runs this function's text as its Web Worker.\n"
  "function reelportWorker() {\n" "${module}" "\n${convert}" "\n${worker}" "}\n")
file(RENAME "${OUTPUT}.part" "${OUTPUT}")
