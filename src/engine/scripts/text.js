// The body's rendered text, with every `content-visibility: auto` section laid
// out first (the engine leaves unlaid sections out of the text), open shadow
// trees and same-origin frames in their places. The engine puts composed.js in
// place of the marker below.
(() => {
  /*COMPOSED*/
  const body = document.body;
  if (!body)
    return { noBody: true };
  for (const element of document.querySelectorAll('*')) {
    if (getComputedStyle(element).contentVisibility === 'auto')
      element.style.setProperty('content-visibility', 'visible', 'important');
  }
  const text = composed.text(body);
  if (text.length > PAGE_CAP)
    return { tooLarge: text.length };
  return { text, title: String(document.title),
           lang: document.documentElement.getAttribute('lang') || '', finalUrl: location.href };
})()
