// The page's media player, there before the page's first script runs: Player (newMedia,
// currentPlaylist) and playlist (appendItem). Calls made before the native player is reached
// wait in order and are passed on once it is.
(function () {
  'use strict';
  var pending = [];
  var native = null;

  function deliver(address) {
    if (native) {
      native.appendItem(address);
    } else {
      pending.push(address);
    }
  }

  function Media(address) {
    this.sourceURL = address;
    this.name = '';
  }

  var items = [];
  var playlist = {
    appendItem: function (media) {
      if (!media || typeof media.sourceURL !== 'string') return;
      items.push(media);
      deliver(media.sourceURL);
    },
    item: function (index) {
      return items[index];
    },
    get count() {
      return items.length;
    }
  };

  var player = {
    newMedia: function (address) {
      return new Media(String(address));
    },
    currentPlaylist: playlist
  };

  window.Player = player;
  window.playlist = playlist;

  if (typeof qt === 'undefined' || !qt.webChannelTransport) return;
  new QWebChannel(qt.webChannelTransport, function (channel) {
    native = channel.objects.SonaroMediaPlayer;
    var waiting = pending;
    pending = [];
    for (var i = 0; i < waiting.length; ++i) native.appendItem(waiting[i]);
  });
})();
