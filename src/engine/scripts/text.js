// The body's rendered text, with every `content-visibility: auto` section laid
// out first (the engine leaves unlaid sections out of the text), open shadow
// trees and same-origin frames in their places, and what the page states about
// itself. The engine puts composed.js and metadata.js in place of the markers below.
(() => {
  /*COMPOSED*/
  /*METADATA*/
  const body = composed.laidOutBody();
  if (!body)
    return { noBody: true };
  return composed.answer(composed.text(body), String(document.title), { metadata: metadata.collect(null) });
})()
