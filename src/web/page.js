// SPDX-License-Identifier: MIT
// The page: gathers the files chosen or dropped and shows which of the two
// databases are among them, converts them in a Web Worker when Convert is
// pressed, and shows the verdict, the downloads, the exact messages and a
// preview of both lists. A result is removed as soon as the files or the
// options it came from change, so what is shown always belongs to what is
// chosen.
'use strict';

(() => {
  const element = (id) => document.getElementById(id);
  const databases = [
    {name: 'CinecaseTapes.PDB', what: 'the tapes', shown: element('found-tapes')},
    {name: 'CinecaseProgs.PDB', what: 'the programmes', shown: element('found-progs')},
  ];
  // Every file chosen or dropped so far, by name: a later file of a name replaces the earlier one.
  const chosen = new Map();
  let downloadUrls = [];
  let running = null;  // the worker of the conversion under way
  let shownResult = 0;  // counts the results cleared, so that a preview still being added knows it is late

  const plural = (count, noun) => `${count} ${noun}${count === 1 ? '' : 's'}`;
  const size = (bytes) => bytes < 1000 ? plural(bytes, 'byte')
    : bytes < 1e6 ? `${(bytes / 1e3).toFixed(1)} KB` : `${(bytes / 1e6).toFixed(1)} MB`;

  // The file the conversion takes for a database, as the command line finds
  // it in a directory: the exact name, else the first name in byte order
  // that differs only in ASCII case (such names are ASCII, so the order of
  // JavaScript's strings is their byte order).
  const asciiLower = (name) => name.replace(/[A-Z]/g, (letter) => letter.toLowerCase());
  const find = (wanted) => {
    if (chosen.has(wanted)) return chosen.get(wanted);
    const variants = Array.from(chosen.keys()).filter((name) => asciiLower(name) === asciiLower(wanted)).sort();
    return variants.length > 0 ? chosen.get(variants[0]) : null;
  };

  const showChosen = () => {
    const used = [];
    for (const {name, what, shown} of databases) {
      const file = find(name);
      if (file) used.push(file);
      shown.className = file ? 'found' : 'missing';
      shown.textContent = !file ? `${name} (${what}): missing. Choose it or drop it on this page.`
        : `${name} (${what}): found${file.name === name ? '' : ` as ${file.name}`}, ${size(file.size)}.`;
    }
    const unused = chosen.size - used.length;
    element('unused').hidden = unused === 0;
    element('unused').textContent = `${plural(unused, 'other file')} chosen will not be read.`;
    element('start-over').hidden = chosen.size === 0;
  };

  const setBusy = (busy) => {
    element('convert').disabled = busy;
    element('busy').textContent = busy ? 'Converting…' : '';
  };

  // A result shown no longer belongs to what is chosen: it goes, and a
  // conversion under way is ended.
  const clearResult = () => {
    if (running) {
      running.terminate();
      running = null;
      setBusy(false);
    }
    for (const url of downloadUrls) URL.revokeObjectURL(url);
    downloadUrls = [];
    ++shownResult;
    element('result').hidden = true;
    element('result').removeAttribute('aria-busy');
    for (const id of ['verdict', 'messages', 'downloads', 'preview-tables']) element(id).replaceChildren();
    for (const id of ['salvage-again', 'downloads-part', 'preview']) element(id).hidden = true;
  };

  const add = (files) => {
    for (const file of files) chosen.set(file.name, file);
    clearResult();
    showChosen();
  };

  for (const input of [element('files'), element('folder')]) {
    input.addEventListener('change', () => {
      // A folder as the command line takes a directory: its own files, not those of its subfolders.
      add(Array.from(input.files).filter((file) => !file.webkitRelativePath ||
                                                   file.webkitRelativePath.split('/').length === 2));
      // Choosing the same file again later must count as a change too.
      input.value = '';
    });
  }
  element('start-over').addEventListener('click', () => {
    chosen.clear();
    clearResult();
    showChosen();
    element('files').focus();
  });
  for (const option of document.querySelectorAll('input[name=output], #salvage')) {
    option.addEventListener('change', clearResult);
  }

  // Files dropped anywhere on the page; a folder dropped gives its own files.
  const fileOf = (entry) => new Promise((resolve, reject) => entry.file(resolve, reject));
  const entriesOf = async (folder) => {
    const reader = folder.createReader();
    const entries = [];
    for (;;) {
      const batch = await new Promise((resolve, reject) => reader.readEntries(resolve, reject));
      if (batch.length === 0) return entries;
      entries.push(...batch);
    }
  };
  // The page is highlighted while files are dragged over it. Moving onto a
  // child enters the child before it leaves the parent, so the drags in and
  // out are counted.
  let dragDepth = 0;
  const carriesFiles = (event) => Array.from(event.dataTransfer ? event.dataTransfer.types : []).includes('Files');
  const dragging = (depth) => {
    dragDepth = Math.max(0, depth);
    document.body.classList.toggle('dragging', dragDepth > 0);
  };
  document.addEventListener('dragenter', (event) => carriesFiles(event) && dragging(dragDepth + 1));
  document.addEventListener('dragleave', (event) => carriesFiles(event) && dragging(dragDepth - 1));
  document.addEventListener('dragover', (event) => event.preventDefault());
  document.addEventListener('drop', async (event) => {
    event.preventDefault();
    dragging(0);
    const items = Array.from(event.dataTransfer.items || []);
    const entries = items.map((item) => item.webkitGetAsEntry && item.webkitGetAsEntry()).filter(Boolean);
    if (entries.length === 0) {
      add(event.dataTransfer.files);
      return;
    }
    const files = [];
    for (const entry of entries) {
      const inside = entry.isDirectory ? await entriesOf(entry) : [entry];
      for (const file of inside.filter((each) => each.isFile)) files.push(await fileOf(file));
    }
    add(files);
  });

  // CSV text as the module writes it: fields separated by commas, rows ended
  // by CR LF, a quoted field holding commas, line breaks and doubled quotes.
  // Blank lines (the lists end with one) give no row.
  const parseCsv = (text) => {
    const rows = [];
    let row = [];
    let field = '';
    let quoted = false;
    for (let at = 0; at < text.length; ++at) {
      const c = text[at];
      if (quoted) {
        if (c !== '"') field += c;
        else if (text[at + 1] === '"') field += text[++at];
        else quoted = false;
      } else if (c === '"') {
        quoted = true;
      } else if (c === ',') {
        row.push(field);
        field = '';
      } else if (c === '\n' || c === '\r') {
        if (c === '\r' && text[at + 1] === '\n') ++at;
        row.push(field);
        if (row.length > 1 || row[0] !== '') rows.push(row);
        row = [];
        field = '';
      } else {
        field += c;
      }
    }
    if (field !== '' || row.length > 0) rows.push([...row, field]);
    return rows;
  };

  // An empty preview table with its caption and header; rows go into its body.
  const previewTable = (header, count, shown, noun) => {
    const table = document.createElement('table');
    table.createCaption().textContent = plural(count, noun) + (count > shown ? `, the first ${shown} shown` : '');
    const head = table.createTHead().insertRow();
    for (const name of header) {
      const cell = document.createElement('th');
      cell.scope = 'col';
      cell.textContent = name;
      head.append(cell);
    }
    // Wide tables scroll sideways; the frame can take the focus to scroll with the keyboard.
    const frame = document.createElement('div');
    frame.className = 'table-frame';
    frame.tabIndex = 0;
    frame.setAttribute('role', 'region');
    frame.setAttribute('aria-label', `Preview of the ${noun}s`);
    frame.append(table);
    return {frame, body: table.createTBody()};
  };

  // The preview follows the verdict a few rows a frame: laying out a whole
  // result at once can hold up a slow computer's page for longer than a
  // person notices. The result is busy until its preview is complete.
  const kRowsPerFrame = 5;
  const nextFrame = () => new Promise((resolve) => requestAnimationFrame(() => setTimeout(resolve)));
  const showPreview = async (result) => {
    const shown = shownResult;
    const lists = [[result.preview.tapes, result.rows.tapes, 'tape'], [result.preview.progs, result.rows.progs, 'programme']];
    for (const [csv, count, noun] of result.preview.tapes === '' ? [] : lists) {
      const [header = [], ...rows] = parseCsv(csv);
      const {frame, body} = previewTable(header, count, rows.length, noun);
      for (let at = 0; at === 0 || at < rows.length; at += kRowsPerFrame) {
        await nextFrame();
        if (shownResult !== shown) return;  // removed meanwhile: the files or the options changed
        if (at === 0) element('preview-tables').append(frame);
        element('preview').hidden = false;
        for (const row of rows.slice(at, at + kRowsPerFrame)) {
          const line = body.insertRow();
          for (const value of row) line.insertCell().textContent = value;
        }
      }
    }
    element('result').setAttribute('aria-busy', 'false');
  };

  const showResult = (result) => {
    element('verdict').textContent = result.verdict;
    element('verdict').dataset.status = result.status;
    element('salvage-again').hidden = !result.offerSalvage;
    element('messages').textContent = result.messages;
    element('downloads-heading').textContent = result.status === 0 || result.status === 3 ? 'Download'
      : 'Written before the conversion stopped (incomplete)';
    for (const {name, blob} of result.files) {
      const link = document.createElement('a');
      link.download = name;
      link.href = URL.createObjectURL(blob);
      link.textContent = `Download ${name}`;
      downloadUrls.push(link.href);
      const item = document.createElement('li');
      item.append(link, ` (${size(blob.size)})`);
      element('downloads').append(item);
    }
    element('downloads-part').hidden = result.files.length === 0;
    showPreview(result);
  };

  // A browser that cannot start the worker or run the module.
  const showFailure = (reason) => {
    element('verdict').textContent = 'This browser could not run the conversion. Open this page in a current ' +
      'Chrome, Edge, Firefox or Safari, or use the Reelport program for Windows or Linux.';
    element('verdict').dataset.status = 'browser';
    element('messages').textContent = reason;
    element('result').setAttribute('aria-busy', 'false');
  };

  // The worker's script is the function reelport.js defines, started from a
  // blob: URL of its text: a worker from a file:// URL is refused, a blob:
  // URL works opened from disk and from a server alike. The URL is made as
  // the page loads, since making it takes a moment. A fresh worker for each
  // conversion, ended after it, gives the module's memory back.
  const workerUrl = typeof reelportWorker !== 'function' ? null
    : URL.createObjectURL(new Blob([`(${reelportWorker.toString()})();\n`], {type: 'text/javascript'}));
  const startWorker = () => {
    if (!workerUrl) throw new Error('reelport.js, the conversion itself, did not load beside this page');
    return new Worker(workerUrl);
  };

  // Shows a result, or why there is none, its heading focused and in view.
  const present = (show) => {
    element('result').setAttribute('aria-busy', 'true');
    show();
    element('result').hidden = false;
    const heading = element('result-heading');
    heading.focus({preventScroll: true});
    heading.scrollIntoView({block: 'start'});
  };

  const convert = (salvage) => {
    clearResult();
    let worker = null;
    const finish = (show) => {
      worker.terminate();
      if (running !== worker) return;  // ended already: the files or the options changed
      running = null;
      setBusy(false);
      present(show);
    };
    try {
      worker = startWorker();
      running = worker;
      setBusy(true);
      worker.onmessage = ({data}) => finish(() => (data.error ? showFailure(data.error) : showResult(data.result)));
      worker.onerror = (event) => {
        event.preventDefault();
        finish(() => showFailure(event.message || 'The conversion could not start.'));
      };
      worker.onmessageerror = () => finish(() => showFailure('The result could not be handed to the page.'));
      const output = document.querySelector('input[name=output]:checked').value;
      worker.postMessage({files: Array.from(chosen.values()), salvage, output});
    } catch (error) {
      running = null;
      setBusy(false);
      present(() => showFailure(String(error)));
    }
  };

  element('convert-form').addEventListener('submit', (event) => {
    event.preventDefault();
    convert(element('salvage').checked);
  });
  element('salvage-again').addEventListener('click', () => {
    element('salvage').checked = true;
    convert(true);
  });

  showChosen();
})();
