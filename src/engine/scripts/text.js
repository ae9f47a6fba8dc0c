// The body's rendered text, with every `content-visibility: auto` section laid
// out first (the engine leaves unlaid sections out of the text), open shadow
// trees and same-origin frames in their places; or that of the parts chosen
// (parts.js). The engine puts composed.js and parts.js in place of the markers below.
(() => {
  /*COMPOSED*/
  /*PARTS*/
  const body = composed.laidOutBody();
  if (!body)
    return { noBody: true };
  const chosen = parts.text(composed.text);
  return composed.answer(chosen === null ? composed.text(body) : chosen, String(document.title), parts.answer());
})()
