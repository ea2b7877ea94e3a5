/*
 * The import page (import.html): sends the chosen CSV file to the API's
 * import, first as a dry run ("Check") and then, when no line is refused,
 * for real ("Import"), and shows the report line by line. Every text from
 * the agent is put in as text, never as markup.
 */
(function () {
  'use strict';

  var form = document.getElementById('import-form');
  if (!form) return;
  var fileInput = document.getElementById('import-file');
  var apply = document.getElementById('import-apply');
  var table = document.getElementById('import-table');
  var body = table.querySelector('tbody');
  var summary = document.getElementById('import-summary');
  var RESULTS = { add: 'To add', skip: 'Skipped', refuse: 'Refused' };
  var checkedText = null;  // the file's text the last clean check was for

  function cell(row, text, label, cls) {
    var td = document.createElement('td');
    td.textContent = text;
    td.setAttribute('data-label', label);
    if (cls) td.className = cls;
    row.appendChild(td);
  }

  function show(report, applied) {
    body.textContent = '';
    (report.lines || []).forEach(function (line) {
      var tr = document.createElement('tr');
      cell(tr, String(line.line), 'Line');
      cell(tr, applied && line.verdict === 'add' ? 'Added' : RESULTS[line.verdict] || line.verdict, 'Result',
           'import-' + line.verdict);
      cell(tr, line.name, 'Name');
      cell(tr, line.address, 'Address');
      var why = line.verdict === 'refuse' ? line.field + ': ' + line.text : line.text || '';
      if (line.verdict === 'add' && line.maintenanceNote) why += ' Note: ' + line.maintenanceNote;
      cell(tr, why, 'Why');
      body.appendChild(tr);
    });
    table.hidden = !report.lines || report.lines.length === 0;
  }

  function send(text, dryRun) {
    summary.textContent = dryRun ? 'Checking the file…' : 'Importing…';
    return fetch('api/v1/import' + (dryRun ? '?dryRun=true' : ''), {
      method: 'POST',
      credentials: 'same-origin',
      headers: { 'Content-Type': 'text/csv', Accept: 'application/json' },
      body: text
    }).then(function (r) {
      return r.json().then(function (json) { return { status: r.status, json: json }; },
                           function () { return { status: r.status, json: { error: 'HTTP ' + r.status } }; });
    });
  }

  function counts(json) {
    return json.add + ' to add, ' + json.skip + ' already managed, ' + json.refuse + ' refused';
  }

  form.addEventListener('submit', function (event) {
    event.preventDefault();
    apply.disabled = true;
    checkedText = null;
    var file = fileInput.files[0];
    if (!file) return;
    file.text().then(function (text) {
      return send(text, true).then(function (answer) {
        var json = answer.json;
        show(json, false);
        if (answer.status === 200) {
          summary.textContent = counts(json) + '. Nothing is changed until you import.';
          checkedText = text;
          apply.disabled = json.add === 0;
        } else if (json.lines) {
          summary.textContent = counts(json) + '. ' + json.error + ' Correct the file and check it again.';
        } else {
          summary.textContent = json.error || 'The file could not be checked.';
        }
      });
    }).catch(function () { summary.textContent = 'The file could not be read or sent.'; });
  });

  apply.addEventListener('click', function () {
    if (checkedText === null) return;
    apply.disabled = true;
    send(checkedText, false).then(function (answer) {
      var json = answer.json;
      show(json, answer.status === 200);
      summary.textContent = answer.status === 200
          ? json.add + ' added, ' + json.skip + ' already managed. The new devices are being recognised.'
          : (json.error || 'The import failed.') + ' Nothing was imported.';
      checkedText = null;
    }).catch(function () { summary.textContent = 'The import could not be sent; nothing was imported.'; });
  });

  fileInput.addEventListener('change', function () {
    apply.disabled = true;
    checkedText = null;
    body.textContent = '';
    table.hidden = true;
    summary.textContent = '';
  });
}());
