// Whether an element matching the selector has a layout box: 'shown', 'absent',
// or 'invalid' when the browser refuses the selector. The engine appends the
// call with the selector as a string literal.
((selector) => {
  let found;
  try {
    found = Document.prototype.querySelectorAll.call(document, selector);
  } catch (error) {
    return error && error.name === 'SyntaxError' ? 'invalid' : 'absent';
  }
  for (let i = 0; i < found.length; ++i) {
    const element = found[i];
    if (element.getClientRects().length > 0)
      return 'shown';
    const box = element.getBoundingClientRect();
    if (box.width > 0 || box.height > 0)
      return 'shown';
  }
  return 'absent';
})
