// The body's rendered text, with every `content-visibility: auto` section laid
// out first (the engine leaves unlaid sections out of the text), open shadow
// trees and same-origin frames in their places. The engine puts composed.js in
// place of the marker below.
(() => {
  /*COMPOSED*/
  const body = composed.laidOutBody();
  if (!body)
    return { noBody: true };
  return composed.answer(composed.text(body), String(document.title));
})()
