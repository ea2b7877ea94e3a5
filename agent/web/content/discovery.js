/*
 * The discovery page (discovery.html): starts a run over the typed ranges
 * (POST api/v1/discovery), shows its progress once a second (GET
 * api/v1/discovery/{id}) with a Cancel button (DELETE), then lists the
 * devices found: a checkbox and an editable suggested name each, managed
 * ones shown with their name and not offered. Adopt sends the checked rows
 * (POST api/v1/discovery/{id}/adopt). Every text from the agent or a
 * device is put in as text, never as markup.
 */
(function () {
  'use strict';

  var form = document.getElementById('discovery-form');
  if (!form) return;
  var ranges = document.getElementById('discovery-ranges');
  var start = document.getElementById('discovery-start');
  var cancel = document.getElementById('discovery-cancel');
  var progress = document.getElementById('discovery-progress');
  var bar = document.getElementById('discovery-bar');
  var counts = document.getElementById('discovery-counts');
  var summary = document.getElementById('discovery-summary');
  var adoptForm = document.getElementById('adopt-form');
  var body = document.querySelector('#discovery-table tbody');
  var all = document.getElementById('discovery-all');
  var trap = document.getElementById('discovery-trap');
  var runId = null;
  var timer = null;

  function call(method, path, json) {
    var options = { method: method, credentials: 'same-origin', headers: { Accept: 'application/json' } };
    if (json !== undefined) {
      options.headers['Content-Type'] = 'application/json';
      options.body = JSON.stringify(json);
    }
    return fetch('api/v1/' + path, options).then(function (r) {
      return r.json().then(function (answer) { return { status: r.status, json: answer }; },
                           function () { return { status: r.status, json: { error: 'HTTP ' + r.status } }; });
    });
  }

  function cell(row, text, label) {
    var td = document.createElement('td');
    td.textContent = text;
    td.setAttribute('data-label', label);
    row.appendChild(td);
    return td;
  }

  function showProgress(run) {
    progress.hidden = false;
    bar.max = Math.max(run.total, 1);
    bar.value = run.asked;
    counts.textContent = run.asked + ' of ' + run.total + ' asked, ' + run.answered + ' answered, ' +
      run.recognised + ' recognised' + (run.state === 'running' ? ', about ' + run.secondsLeft + ' s left' : '');
  }

  function showRows(run) {
    body.textContent = '';
    run.rows.forEach(function (row, index) {
      var tr = document.createElement('tr');
      var pick = document.createElement('td');
      pick.setAttribute('data-label', 'Adopt');
      if (!row.managedAs) {
        var box = document.createElement('input');
        box.type = 'checkbox';
        box.className = 'discovery-pick';
        box.value = row.addresses[0];
        box.setAttribute('aria-label', 'Adopt ' + row.addresses.join(', '));
        pick.appendChild(box);
      }
      tr.appendChild(pick);
      var nameCell = cell(tr, '', 'Name');
      if (!row.managedAs) {
        var name = document.createElement('input');
        name.type = 'text';
        name.className = 'discovery-name';
        name.maxLength = 8;
        name.size = 9;
        name.value = row.suggestedName || '';
        name.id = 'discovery-name-' + index;
        name.setAttribute('aria-label', 'Name for ' + row.addresses[0]);
        nameCell.appendChild(name);
      }
      cell(tr, row.addresses.join(', '), 'Address');
      cell(tr, row.type || row.note || '', 'Type');
      cell(tr, row.model || '', 'Model');
      cell(tr, row.worldWideName || '', 'World wide name');
      cell(tr, row.credential, 'Credential');
      cell(tr, row.managedAs ? 'as ' + row.managedAs : '', 'Managed');
      body.appendChild(tr);
    });
    adoptForm.hidden = run.rows.length === 0;
  }

  // `keepSummary`: the rows are read again after an adoption, whose own
  // sentence stays in the summary line.
  function finished(run, keepSummary) {
    start.disabled = false;
    cancel.hidden = true;
    if (!keepSummary) {
      summary.textContent = (run.state === 'cancelled' ? 'Cancelled: ' : 'Done: ') + run.rows.length +
        (run.rows.length === 1 ? ' device found' : ' devices found') + ' in ' + Math.round(run.seconds) + ' s.';
    }
    showRows(run);
  }

  function poll(keepSummary) {
    call('GET', 'discovery/' + encodeURIComponent(runId)).then(function (r) {
      if (r.status !== 200) {
        summary.textContent = r.json.error || 'The run is no longer kept.';
        start.disabled = false;
        cancel.hidden = true;
        return;
      }
      showProgress(r.json);
      if (r.json.state === 'running') {
        timer = setTimeout(poll, 1000);
      } else {
        finished(r.json, keepSummary);
      }
    });
  }

  form.addEventListener('submit', function (event) {
    event.preventDefault();
    summary.textContent = 'Starting…';
    adoptForm.hidden = true;
    call('POST', 'discovery', { ranges: ranges.value }).then(function (r) {
      if (r.status !== 202) {
        summary.textContent = r.json.error || 'The run could not start.';
        if (r.json.field === 'ranges') ranges.focus();
        return;
      }
      runId = r.json.id;
      start.disabled = true;
      cancel.hidden = false;
      summary.textContent = 'Discovering…';
      poll();
    });
  });

  cancel.addEventListener('click', function () {
    if (runId === null) return;
    cancel.disabled = true;
    summary.textContent = 'Cancelling…';
    call('DELETE', 'discovery/' + encodeURIComponent(runId)).then(function () { cancel.disabled = false; });
  });

  all.addEventListener('change', function () {
    Array.prototype.forEach.call(body.querySelectorAll('.discovery-pick'), function (box) {
      box.checked = all.checked;
    });
  });

  adoptForm.addEventListener('submit', function (event) {
    event.preventDefault();
    var rows = [];
    Array.prototype.forEach.call(body.querySelectorAll('tr'), function (tr) {
      var box = tr.querySelector('.discovery-pick');
      var name = tr.querySelector('.discovery-name');
      if (box && box.checked) rows.push({ address: box.value, name: name.value });
    });
    if (rows.length === 0) {
      summary.textContent = 'Choose at least one device to adopt.';
      return;
    }
    call('POST', 'discovery/' + encodeURIComponent(runId) + '/adopt',
         { rows: rows, registerTrapTarget: trap.checked }).then(function (r) {
      if (r.status !== 200) {
        summary.textContent = r.json.error || 'Nothing was adopted.';
        var at = /^rows\[(\d+)\]\.(\w+)$/.exec(r.json.field || '');
        if (at) {
          var input = body.querySelector('input[value="' + rows[Number(at[1])].address + '"]');
          var tr = input && input.closest('tr');
          var field = tr && tr.querySelector(at[2] === 'name' ? '.discovery-name' : '.discovery-pick');
          if (field) field.focus();
        }
        return;
      }
      summary.textContent = 'Adopted ' + r.json.adopted + (r.json.adopted === 1 ? ' device: ' : ' devices: ') +
        r.json.names.join(', ') + '.';
      poll(true);
    });
  });
}());
