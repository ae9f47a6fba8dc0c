// The body's rendered text, with every `content-visibility: auto` section laid
// out first (the engine leaves unlaid sections out of the text), open shadow
// trees and same-origin frames in their places, and what the page states about
// itself; or the text of the parts chosen (parts.js). The engine puts composed.js,
// parts.js and metadata.js in place of the markers below.
(() => {
  /*COMPOSED*/
  /*PARTS*/
  /*METADATA*/
  const body = composed.laidOutBody();
  if (!body)
    return { noBody: true };
  const chosen = parts.text(composed.text);
  return composed.answer(chosen === null ? composed.text(body) : chosen, String(document.title),
                         { metadata: metadata.collect(null), ...parts.answer() });
})()
