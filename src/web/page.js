// SPDX-License-Identifier: MIT
// The page: keeps the files chosen or dropped, converts them when Convert is
// pressed (convert.js), shows the messages and the exit status in words, and
// offers each CSV file written for download from memory.
'use strict';

(() => {
  const element = (id) => document.getElementById(id);
  const reelportReady = createReelport();
  let chosenFiles = [];
  let downloadUrls = [];

  const choose = (files) => {
    chosenFiles = Array.from(files);
    const shown = chosenFiles.slice(0, 8).map((file) => file.name).join(', ');
    const more = chosenFiles.length > 8 ? ` and ${chosenFiles.length - 8} more` : '';
    element('chosen').textContent = chosenFiles.length === 0 ? 'No files chosen yet.'
      : `Chosen: ${shown}${more}.`;
  };

  element('files').addEventListener('change', (event) => choose(event.target.files));
  // A folder as the command line takes a directory: its own files, not those of its subfolders.
  element('folder').addEventListener('change', (event) => choose(
    Array.from(event.target.files).filter((file) => file.webkitRelativePath.split('/').length === 2)));

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
  document.addEventListener('dragover', (event) => event.preventDefault());
  document.addEventListener('drop', async (event) => {
    event.preventDefault();
    const items = Array.from(event.dataTransfer.items || []);
    const entries = items.map((item) => item.webkitGetAsEntry && item.webkitGetAsEntry()).filter(Boolean);
    if (entries.length === 0) {
      choose(event.dataTransfer.files);
      return;
    }
    const files = [];
    for (const entry of entries) {
      const inside = entry.isDirectory ? await entriesOf(entry) : [entry];
      for (const file of inside.filter((each) => each.isFile)) files.push(await fileOf(file));
    }
    choose(files);
  });

  const statusText = (status, salvage, written) => {
    const kept = written ? ' What the command line writes before it stops is offered below.' : '';
    switch (status) {
      case 0: return 'Done: both CSV files are written (exit status 0).';
      case 1: return 'Stopped: a file is missing or is not a Cinecase 1.2 database (exit status 1). ' +
        'Choose the two databases of one backup and convert again.' + kept;
      case 2: return 'Stopped: a database is damaged (exit status 2).' + kept +
        (salvage ? '' : ' Tick Salvage and convert again to get back every intact record.');
      case 3: return 'Done with salvage: both CSV files are written; the damaged parts listed were skipped (exit status 3).';
      default: return `Stopped with exit status ${status}.`;
    }
  };

  const show = (result, salvage) => {
    for (const url of downloadUrls) URL.revokeObjectURL(url);
    downloadUrls = [];
    const downloads = element('downloads');
    downloads.replaceChildren();
    for (const {name, type, bytes} of result.files) {
      const link = document.createElement('a');
      link.download = name;
      link.href = URL.createObjectURL(new Blob([bytes], {type}));
      link.textContent = `Download ${name}`;
      downloadUrls.push(link.href);
      const item = document.createElement('li');
      item.append(link, ` (${bytes.length} bytes)`);
      downloads.append(item);
    }
    element('status').textContent = statusText(result.status, salvage, result.files.length > 0);
    element('messages').textContent = result.messages;
    element('result').hidden = false;
  };

  element('convert-form').addEventListener('submit', async (event) => {
    event.preventDefault();
    const button = element('convert');
    const salvage = element('salvage').checked;
    button.disabled = true;
    try {
      const reelport = await reelportReady;
      const files = chosenFiles.map((file) => ({name: file.name, read: () => file.arrayBuffer()}));
      show(await reelportConvert(reelport, files, salvage, element('charset-utf8').checked ? reelportOutputs.utf8 : reelportOutputs.palm), salvage);
    } catch (error) {
      element('status').textContent = `This browser could not run the conversion: ${error}`;
      element('result').hidden = false;
    } finally {
      button.disabled = false;
    }
  });
})();
