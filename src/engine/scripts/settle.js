// Installed before the page's own scripts: tracks what may still change the
// document (timers, script requests, animation frames) and when it last did.
(() => {
  if (window !== window.top || Object.prototype.hasOwnProperty.call(window, '__textorinSettle'))
    return;
  const horizon = SETTLE_MS;
  const clock = performance.now.bind(performance);
  let lastMutation = clock();
  let lastActivity = lastMutation;
  let pending = 0;
  const timers = new Set();
  const touch = () => { lastActivity = clock(); };
  const begin = () => { ++pending; };
  const end = () => { if (pending > 0) --pending; touch(); };

  // Changes count from the parsed document on: the parser's own would cost a
  // record for every node of a large page.
  const observe = () => {
    lastMutation = clock();
    lastActivity = lastMutation;
    new MutationObserver(() => { lastMutation = clock(); lastActivity = lastMutation; })
      .observe(document, { subtree: true, childList: true, characterData: true, attributes: true });
  };
  if (document.readyState === 'loading')
    document.addEventListener('DOMContentLoaded', observe, { once: true });
  else
    observe();

  const setTimeoutOriginal = window.setTimeout;
  const clearTimeoutOriginal = window.clearTimeout;
  window.setTimeout = function (handler, delay, ...rest) {
    const wait = delay === undefined ? 0 : Number(delay);
    if (typeof handler !== 'function' || !(wait <= horizon))
      return setTimeoutOriginal.apply(this, arguments);
    let id;
    const run = function () {
      timers.delete(id);
      try { return handler.apply(this, arguments); } finally { touch(); }
    };
    id = setTimeoutOriginal.call(this, run, delay, ...rest);
    timers.add(id);
    return id;
  };
  window.clearTimeout = function (id) {
    timers.delete(id);
    return clearTimeoutOriginal.apply(this, arguments);
  };

  const frameOriginal = window.requestAnimationFrame;
  const cancelFrameOriginal = window.cancelAnimationFrame;
  const frames = new Set();
  if (frameOriginal) {
    window.requestAnimationFrame = function (callback) {
      let id;
      id = frameOriginal.call(this, function () {
        frames.delete(id);
        try { return callback.apply(this, arguments); } finally { touch(); }
      });
      frames.add(id);
      return id;
    };
    window.cancelAnimationFrame = function (id) {
      frames.delete(id);
      return cancelFrameOriginal.apply(this, arguments);
    };
  }

  const idleOriginal = window.requestIdleCallback;
  const cancelIdleOriginal = window.cancelIdleCallback;
  const idles = new Set();
  if (idleOriginal) {
    window.requestIdleCallback = function (callback, options) {
      let id;
      id = idleOriginal.call(this, function () {
        idles.delete(id);
        try { return callback.apply(this, arguments); } finally { touch(); }
      }, options);
      idles.add(id);
      return id;
    };
    window.cancelIdleCallback = function (id) {
      idles.delete(id);
      return cancelIdleOriginal.apply(this, arguments);
    };
  }

  const track = (promise) => {
    begin();
    promise.then(end, end);
    return promise;
  };
  if (window.fetch) {
    const fetchOriginal = window.fetch;
    window.fetch = function () { return track(fetchOriginal.apply(this, arguments)); };
  }
  if (window.Response) {
    for (const name of ['arrayBuffer', 'blob', 'formData', 'json', 'text']) {
      const original = Response.prototype[name];
      if (original)
        Response.prototype[name] = function () { return track(original.apply(this, arguments)); };
    }
  }
  const sendOriginal = XMLHttpRequest.prototype.send;
  XMLHttpRequest.prototype.send = function () {
    let done = false;
    const finish = () => { if (!done) { done = true; end(); } };
    begin();
    this.addEventListener('loadend', finish);
    try { return sendOriginal.apply(this, arguments); } catch (error) { finish(); throw error; }
  };

  Object.defineProperty(window, '__textorinSettle', {
    value: () => {
      const now = clock();
      return [Math.round(now - lastMutation), Math.round(now - lastActivity),
              pending + timers.size + frames.size + idles.size];
    },
  });
})();
