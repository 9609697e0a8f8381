// The start page: shows that the bridge is up and which page functions the
// program offers. The real user interface replaces this page.
(function () {
  'use strict';
  var status = document.getElementById('status');
  if (typeof app !== 'object') {
    status.textContent = 'the bridge is not available';
    status.className = 'error';
    return;
  }
  var names = [];
  (function collect(obj, prefix, depth) {
    Object.keys(obj).sort().forEach(function (key) {
      var value = obj[key];
      if (typeof value === 'function') names.push(prefix + key);
      else if (value && typeof value === 'object' && depth < 4) collect(value, prefix + key + '.', depth + 1);
    });
  })(app, 'app.', 0);
  var list = document.getElementById('functions');
  names.forEach(function (name) {
    var item = document.createElement('li');
    item.textContent = name;
    list.appendChild(item);
  });
  document.getElementById('summary').textContent = names.length + ' functions';
  status.textContent = 'ready';
})();
