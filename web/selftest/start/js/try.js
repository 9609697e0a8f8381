// A small panel that runs device functions on one base unit: its status and
// the signal level per channel, drawn as bars. With `linkmeter --demo` the
// prefilled comInfo is the demo site's USB base unit.
(function () {
  'use strict';
  if (typeof app !== 'object' || !app.com) return;
  var answer = document.getElementById('answer');
  var levels = document.getElementById('levels');

  function comInfo() {
    try {
      return JSON.parse(document.getElementById('cominfo').value);
    } catch (e) {
      answer.textContent = 'comInfo is not valid JSON: ' + e.message;
      answer.className = 'error';
      return null;
    }
  }
  function show(result, failed) {
    answer.textContent = JSON.stringify(result, null, 2);
    answer.className = failed ? 'error' : '';
  }
  function drawLevels(list) {
    levels.textContent = '';
    list.forEach(function (entry) {
      var row = document.createElement('div');
      row.className = 'level';
      var label = document.createElement('span');
      label.textContent = 'ch ' + entry.freq;
      var bar = document.createElement('span');
      bar.className = 'bar';
      bar.style.width = Math.round(entry.level * 100 / 255) + '%';
      var value = document.createElement('span');
      value.textContent = entry.level;
      row.appendChild(label);
      row.appendChild(bar);
      row.appendChild(value);
      levels.appendChild(row);
    });
  }

  document.getElementById('status-button').addEventListener('click', function () {
    var info = comInfo();
    if (info) app.com.tcmdEBSTS({comInfo: info}, function (r) { show(r, !r.isSuccess); }, function (e) { show(e, true); });
  });
  document.getElementById('levels-button').addEventListener('click', function () {
    var info = comInfo();
    if (!info) return;
    var freqs = document.getElementById('freqs').value.split(/[ ,]+/).filter(Boolean).map(Number);
    app.com.tcmdGetRsLevel({comInfo: info, freqs: freqs},
      function (r) { drawLevels(r); show(r, false); },
      function (e) { levels.textContent = ''; show(e, true); });
  });
})();
