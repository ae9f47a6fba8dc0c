// The body's rendered text, with every `content-visibility: auto` section laid
// out first (the engine leaves unlaid sections out of the text).
(() => {
  const body = document.body;
  if (!body)
    return { noBody: true };
  for (const element of document.querySelectorAll('*')) {
    if (getComputedStyle(element).contentVisibility === 'auto')
      element.style.setProperty('content-visibility', 'visible', 'important');
  }
  const text = String(body.innerText);
  if (text.length > PAGE_CAP)
    return { tooLarge: text.length };
  return { text, title: String(document.title),
           lang: document.documentElement.getAttribute('lang') || '', finalUrl: location.href };
})()
