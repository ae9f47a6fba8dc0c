// One step of scrolling the page and its scrolling panes a viewport down, or
// (toTop) all of them back to the top. The engine appends the call.
((toTop) => {
  const root = document.scrollingElement || document.documentElement;
  const panes = [root];
  for (const element of document.querySelectorAll('*')) {
    if (element === root || element.scrollHeight <= element.clientHeight)
      continue;
    const overflow = getComputedStyle(element).overflowY;
    if (overflow === 'auto' || overflow === 'scroll' || overflow === 'overlay')
      panes.push(element);
  }
  let height = 0;
  let atBottom = true;
  for (const pane of panes) {
    // 'instant' overrides a page's smooth scrolling.
    if (toTop) {
      pane.scrollTo({ top: 0, behavior: 'instant' });
      continue;
    }
    const viewport = pane === root ? window.innerHeight : pane.clientHeight;
    const before = pane.scrollTop;
    pane.scrollTo({ top: before + viewport, behavior: 'instant' });
    height += pane.scrollHeight;
    // A pane that does not move (overflow: hidden on the page) is as far as it goes.
    if (pane.scrollTop > before && pane.scrollTop + viewport < pane.scrollHeight - 1)
      atBottom = false;
  }
  return { height, atBottom };
})
