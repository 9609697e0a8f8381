// window.cefQuery and window.cefQueryCancel of one document. The callbacks
// of a pending query stay here, in the page; the native side only sends
// the request and hands each answer to the one dispatcher bound below, so a
// query crosses into native code once each way with plain values.
(function (send, cancel, bind) {
  'use strict';
  var pending = new Map();

  bind(function (id, ok, code, text) {
    var query = pending.get(id);
    if (!query) return;
    pending.delete(id);
    if (ok) {
      if (query.onSuccess) query.onSuccess(text);
    } else if (query.onFailure) {
      query.onFailure(code, text);
    }
  });

  function functionOrNull(f) { return typeof f === 'function' ? f : null; }

  window.cefQuery = function (query) {
    if (query === null || (typeof query !== 'object' && typeof query !== 'function'))
      throw new Error('cefQuery needs a query object');
    var request = query.request;
    if (typeof request !== 'string') throw new Error('cefQuery needs a request string');
    var entry = {onSuccess: functionOrNull(query.onSuccess), onFailure: functionOrNull(query.onFailure)};
    var id = send(request);
    if (id) pending.set(id, entry);
    return id;
  };

  window.cefQueryCancel = function (id) {
    if (typeof id !== 'number' || !isFinite(id)) return;
    pending.delete(id);
    cancel(id);
  };
})
